// The program's memory comes straight from the process heap. Replacing the
// global operator new and delete keeps the C++ runtime's versions, which
// report failure with an exception, out of the exe; memory that runs out
// ends the program with the runtime's error box instead.
#include <windows.h>

#include <cstddef>
#include <new>

#include "windows/ui.h"

namespace {

void* Allocate(std::size_t size) {
  void* memory = HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
  if (memory == nullptr) glyphary::windows::ReportOutOfMemory();
  return memory;
}

void Release(void* memory) {
  if (memory != nullptr) HeapFree(GetProcessHeap(), 0, memory);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { Release(memory); }
void operator delete[](void* memory) noexcept { Release(memory); }
void operator delete(void* memory, std::size_t) noexcept { Release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { Release(memory); }
