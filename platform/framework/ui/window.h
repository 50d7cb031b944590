// Windows as the program builds them: a subclass sets its properties in Layout, makes its
// controls in CreateControls and reacts in its Open event. Every window class has one
// instance, reached through ImplicitInstance: the open window of the class, else a new one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "object.h"
#include "ui/controls.h"

namespace fw {

class Window : public Object {
 public:
  // Where a window of Placement 0 opens, below the menu bar.
  static constexpr int kDefaultLeft = 20;
  static constexpr int kDefaultTop = 60;

  // The name ImplicitInstance looks for, such as "mainWindow".
  const std::string& ClassName() const { return className_; }

  // Settings that Layout gives before the window is shown.
  int MinWidth = 64, MinHeight = 64, MaxWidth = 32000, MaxHeight = 32000;
  int Frame = 0, Placement = 0, MacProcID = 0;
  bool CloseButton = true, Resizeable = true, LiveResize = true;
  bool MinimizeButton = true, MaximizeButton = false;
  bool FullScreen = false, MenuBarVisible = true, Composite = false;
  bool HasBackColor = false;
  Color BackColor = kWhite;
  bool Visible = true;

  const std::string& Title() const { return title_; }
  void SetTitle(std::string title);
  // The content's top left corner on the screen, and its size.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int left);
  void SetTop(int top);
  // The size Layout gives; later calls resize the window as the user would, moving and
  // stretching the controls by their edge locks. Kept within the minimum and maximum.
  void SetSize(int width, int height);

  // Lays the window out, makes its controls, raises the controls' Open events and then the
  // window's, and shows it when it is Visible. Once per window.
  void Build();
  void Show();
  // Shows the window modally and returns when it has closed or the program is quitting;
  // timers and device reports go on meanwhile, input reaches only this window.
  void ShowModal();
  void Close();
  // The user's click on the close box: closes the window unless it has none (CloseButton).
  void PressCloseBox();
  bool IsOpen() const { return open_; }
  bool IsModal() const { return modal_; }

  // The control of that name, or nullptr.
  Control* FindControl(std::string_view name) const;
  const std::vector<Ref<Control>>& Controls() const { return controls_; }

 protected:
  explicit Window(std::string className);
  ~Window() override;

  virtual void Layout() {}
  virtual void CreateControls() {}
  virtual void Event_Open() {}

  // Makes a control of kind T, added to the window under name.
  template <class T>
  Ref<T> AddControl(std::string name) {
    Ref<T> control = MakeRef<T>();
    Adopt(*control, std::move(name));
    return control;
  }

 private:
  void Adopt(Control& control, std::string name);
  void Changed();
  void StopTimers();

  std::string className_;
  std::string title_;
  int left_ = kDefaultLeft, top_ = kDefaultTop, width_ = 300, height_ = 300;
  std::vector<Ref<Control>> controls_;
  bool built_ = false;
  bool open_ = false;
  bool modal_ = false;
};

// The open windows, in the order they were opened.
const std::vector<Ref<Window>>& OpenWindows();
Window* FindOpenWindow(std::string_view className);
// Closes every open window, the last opened first.
void CloseAllWindows();

// What a user may name in a window of a class: the captions of its buttons, in the order the
// window makes them, and the names of its edit fields.
struct WindowClassDeclaration {
  std::string className;
  std::vector<std::string> buttonCaptions;
  std::vector<std::string> fieldNames;
};
// The program declares the classes of the windows it may show, once and before any of them
// opens, so that a front end can give the buttons keys that hold for the whole run, and tell
// what a user may still name from what no window of the program will ever show. The order
// counts: a front end may give the buttons of a class declared earlier the first pick of keys.
// Replaces what was declared before.
void DeclareWindowClasses(std::vector<WindowClassDeclaration> declarations);
// Empty when the program declared none.
const std::vector<WindowClassDeclaration>& DeclaredWindowClasses();

// The open window of class T (named className), or a new one, built.
template <class T>
Ref<T> ImplicitInstance(std::string_view className) {
  if (Window* open = FindOpenWindow(className)) {
    if (T* window = dynamic_cast<T*>(open)) return Ref<T>(window);
  }
  Ref<T> window = MakeRef<T>();
  window->Build();
  return window;
}

}  // namespace fw
