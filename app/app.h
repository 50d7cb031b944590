// The application object: start-up loads the update out of the logo image, checks that it
// is complete, searches the device and hands over to the main window.
#pragma once

#include "picture.h"
#include "ui/application.h"

class App : public fw::Application {
 public:
  // The decoded logo; set only when the logo carried an update.
  fw::Ref<fw::Picture> logo;

  void Event_Open() override;
  // Reads "logo.jpg" and stores the update's fields in the HID module.
  void LoadData();

 protected:
  ~App() override = default;
};

// The one application object, as every other class reaches it.
class App* App();
