// libform: CGI form decoding. The form text is copied once into a private
// buffer, cut there into pairs at '&' and '=', and each value is URL-decoded
// in place; a Form is the text, its two arrays and itself, nothing more.
#include "cgi/libform.h"

#include <cstdlib>
#include <cstring>

#include "eventlog/number.h"

namespace {

// The settings form is a few hundred bytes; a POST body above this size is
// refused before anything is allocated or read.
constexpr size_t kMaxBody = 1048576;

// Kept position of the tokenizer, shared by both cuts of one split: a cut of
// a null entry goes on from where the previous cut stopped. One split at a
// time.
char* gScanPos = nullptr;

// One tokenizer step. A non-null text restarts the scan at its start; null
// goes on from the kept position. Skips separators, then gives the piece up to
// the next sep (overwritten by a terminator, the scan resumes after it) or to
// the end of the text. Null when only separators are left.
char* Cut(char* text, char sep) {
  if (text != nullptr) gScanPos = text;
  if (gScanPos == nullptr) return nullptr;
  while (*gScanPos == sep) ++gScanPos;
  if (*gScanPos == '\0') return nullptr;
  char* piece = gScanPos;
  while (*gScanPos != '\0' && *gScanPos != sep) ++gScanPos;
  if (*gScanPos == sep) *gScanPos++ = '\0';
  return piece;
}

// Worth of one hex digit character, unchecked. A code at or above 'A' taken
// as a signed 8-bit value (so not 0x80 and up) loses bit 0x20 and counts from
// 'A' = 10; anything else counts from '0'. Wraps freely: only the low 8 bits
// of the byte built from two digits matter.
unsigned HexWorth(char c) {
  unsigned code = static_cast<unsigned char>(c);
  if (code >= 'A' && code < 0x80) return (code & ~0x20u) - 55;
  return code - 48;
}

// Shared failure step of the decoders: the error page when asked for.
Form* Fail(int report, const char* message) {
  if (report) FormError(message);
  return nullptr;
}

bool MethodIs(const char* method) {
  const char* value = std::getenv("REQUEST_METHOD");
  return value != nullptr && std::strcmp(value, method) == 0;
}

// CONTENT_LENGTH read as atol reads it (blanks, sign, digits; no digits is 0),
// but a negative length, or one above kMaxBody, is refused: 0. The reader
// holds the number to just past either bound, so no length can overflow.
int ContentLength(const char* text, size_t* length) {
  const int64_t most = static_cast<int64_t>(kMaxBody);
  int64_t n = NumberAtol(text, -1, most + 1);
  if (n < 0 || n > most) return 0;
  *length = static_cast<size_t>(n);
  return 1;
}

// Reads up to length bytes of standard input into body; gives the count read.
size_t ReadBody(char* body, size_t length) {
  size_t got = 0;
  while (got < length) {
    size_t n = std::fread(body + got, 1, length - got, stdin);
    if (n == 0) break;
    got += n;
  }
  return got;
}

// First cut at '&' fills Name in order; the second cuts each entry at '=' and
// decodes its value. An entry left null by the first cut takes its name from
// the kept position, i.e. from what is left of the previous pair.
void CutPairs(Form* form, char* text) {
  form->Name[0] = Cut(text, '&');
  for (int32_t i = 1; i < form->Count; ++i) form->Name[i] = Cut(nullptr, '&');
  for (int32_t i = 0; i < form->Count; ++i) {
    form->Name[i] = Cut(form->Name[i], '=');
    form->Value[i] = Cut(nullptr, '=');
    UrlDecode(form->Value[i]);
  }
}

}  // namespace

Form* FormSplit(char* text) {
  if (text == nullptr) return nullptr;
  Form* form = static_cast<Form*>(std::malloc(sizeof(Form)));
  if (form == nullptr) {
    std::free(text);
    return nullptr;
  }
  *form = Form{0, nullptr, nullptr, text};
  size_t count = 0;
  for (const char* p = text; *p != '\0'; ++p) count += *p == '=';
  if (count == 0) return form;
  if (count <= INT32_MAX) {
    form->Name = static_cast<char**>(std::malloc(count * sizeof(char*)));
    form->Value = static_cast<char**>(std::malloc(count * sizeof(char*)));
  }
  if (form->Name == nullptr || form->Value == nullptr) {
    FormFree(&form);
    return nullptr;
  }
  form->Count = static_cast<int32_t>(count);
  CutPairs(form, text);
  return form;
}

void UrlDecode(char* s) {
  if (s == nullptr) return;
  size_t n = std::strlen(s);
  size_t w = 0;
  for (size_t i = 0; i < n; ++i) {
    if (s[i] == '%' && i + 2 < n) {
      unsigned byte = 16 * HexWorth(s[i + 1]) + HexWorth(s[i + 2]);
      s[w++] = static_cast<char>(byte & 0xFF);
      i += 2;
    } else {
      s[w++] = s[i] == '+' ? ' ' : s[i];
    }
  }
  s[w] = '\0';
}

Form* FormGet(int report) {
  if (!MethodIs("GET")) return Fail(report, "REQUEST_METHOD is not GET.");
  const char* query = std::getenv("QUERY_STRING");
  if (query == nullptr) {
    Fail(report, "No QUERY_STRING.");  // not fatal: an empty form follows
    query = "";
  }
  size_t n = std::strlen(query);
  char* text = static_cast<char*>(std::malloc(n + 1));
  if (text == nullptr) return nullptr;
  std::memcpy(text, query, n + 1);
  return FormSplit(text);
}

Form* FormPost(int report) {
  if (!MethodIs("POST")) return Fail(report, "REQUEST_METHOD is not POST.");
  const char* announced = std::getenv("CONTENT_LENGTH");
  size_t length = 0;
  if (announced == nullptr || !ContentLength(announced, &length)) {
    return Fail(report, "No CONTENT_LENGTH.");
  }
  char* body = static_cast<char*>(std::malloc(length + 1));
  if (body == nullptr) return nullptr;
  body[0] = '\0';
  if (length != 0) {
    size_t got = ReadBody(body, length);
    if (body[0] == '\0') {
      std::free(body);
      return Fail(report, "Can't read POST variables.");
    }
    body[got] = '\0';  // a short body ends after what arrived, never in unread bytes
  }
  return FormSplit(body);
}

const char* FormLookup(const Form* form, const char* name) {
  if (form == nullptr || name == nullptr) return nullptr;
  for (int32_t i = 0; i < form->Count; ++i) {
    if (form->Name[i] == nullptr || std::strcmp(form->Name[i], name) != 0) continue;
    const char* value = form->Value[i];
    return value != nullptr && value[0] != '\0' ? value : nullptr;
  }
  return nullptr;
}

char* FormLookupCopy(const Form* form, const char* name) {
  const char* value = FormLookup(form, name);
  if (value == nullptr) return nullptr;
  size_t n = std::strlen(value) + 1;
  char* copy = static_cast<char*>(std::malloc(n));
  if (copy != nullptr) std::memcpy(copy, value, n);
  return copy;
}

int FormPrint(const Form* form, FILE* out) {
  if (form == nullptr) return -1;
  for (int32_t i = 0; i < form->Count; ++i) {
    const char* name = form->Name[i];
    const char* value = form->Value[i];
    std::fprintf(out, "%s:%s\n", name ? name : "", value ? value : "");
  }
  return 0;
}

void FormFree(Form** form) {
  if (form == nullptr || *form == nullptr) return;
  std::free((*form)->Text);
  std::free((*form)->Name);
  std::free((*form)->Value);
  std::free(*form);
  *form = nullptr;
}

void FormError(const char* message) {
  std::fputs("Content-type: text/plain; charset=utf-8\n\nForm Error:\n", stdout);
  std::fputs(message != nullptr ? message : "", stdout);
  std::fputs("\n", stdout);
}
