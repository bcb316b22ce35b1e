// Opening a file of the log folder on Windows, with the C runtime's own
// open.
#include "platform/regularfile.h"

DWORD PlatformOpenRegularStream(const char* path, FILE** file) {
  *file = std::fopen(path, "rb");
  return *file != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}
