// Fuzzes the form-text cutting and decoding: any bytes are split into a Form
// whose every string must lie inside the form's own text, then looked up.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cgi/libform.h"

namespace {

// A string of the form lies wholly inside its text of size bytes.
bool Inside(const char* s, const char* text, size_t size) {
  return s == nullptr || (s >= text && s + std::strlen(s) <= text + size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char* text = static_cast<char*>(std::malloc(size + 1));
  if (text == nullptr) return 0;
  if (size != 0) std::memcpy(text, data, size);  // data may be null when size is 0
  text[size] = '\0';
  size_t equals = 0;
  for (const char* p = text; *p != '\0'; ++p) equals += *p == '=';
  Form* form = FormSplit(text);
  if (form == nullptr) return 0;
  if (static_cast<size_t>(form->Count) != equals) __builtin_trap();
  for (int32_t i = 0; i < form->Count; ++i) {
    if (!Inside(form->Name[i], text, size) || !Inside(form->Value[i], text, size)) __builtin_trap();
  }
  static const char* const kNames[] = {"offset", "title1", "tz", "user", "a", "", nullptr};
  for (const char* name : kNames) {
    const char* value = FormLookup(form, name);
    if (value != nullptr && (value[0] == '\0' || !Inside(value, text, size))) __builtin_trap();
    std::free(FormLookupCopy(form, name));
  }
  FormFree(&form);
  return 0;
}
