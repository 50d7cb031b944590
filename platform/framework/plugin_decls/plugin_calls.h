// Conversions shared by the program's plug-in class declarations.
#pragma once

#include <string>

#include "host_string.h"
#include "memory_block.h"
#include "plugin_abi.h"
#include "plugin_decls/entry_points.h"

namespace fw {

// A getter of the form `X as string`: the host string it returns, as the program's String.
inline std::string CallString(Entry entry, REALobject self) {
  return AdoptHostString(EntryAs<REALstring (*)(REALobject)>(entry)(self));
}

inline REALmemoryBlock BlockHandle(const Ref<MemoryBlock>& block) {
  return reinterpret_cast<REALmemoryBlock>(block.get());
}

// A block a plug-in returns carries one reference for the caller.
inline Ref<MemoryBlock> AdoptMemoryBlock(REALmemoryBlock handle) {
  Ref<MemoryBlock> block(reinterpret_cast<MemoryBlock*>(handle));
  if (block) block->Release();
  return block;
}

}  // namespace fw
