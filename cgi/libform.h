// libform: reads an HTML form from the CGI environment (a GET query string or
// a POST body on standard input) into one Form of name/value pairs. Values are
// URL-decoded in place, names stay as sent; a Form costs at most four blocks.
#ifndef VELMAR_CGI_LIBFORM_H
#define VELMAR_CGI_LIBFORM_H

#include <cstdint>
#include <cstdio>

// One decoded form: Count entries in two parallel arrays. Every string lies in
// Text, the form's own copy of the form text, cut and decoded in place.
struct Form {
  int32_t Count;  // number of entries: the number of '=' in the text before cutting
  char** Name;    // Count names, never decoded; an entry may be null; null when Count is 0
  char** Value;   // Count URL-decoded values; null entry when the pair had none
  char* Text;     // the text buffer the strings lie in, owned by the Form
};

// Decodes the query string of a GET request. REQUEST_METHOD must be exactly
// "GET", else the result is null. A missing QUERY_STRING counts as empty (a
// Form with Count 0). With report non-zero each failure writes FormError's
// page. Result: a new Form for the caller to release with FormFree, or null
// (not a GET, or out of memory).
Form* FormGet(int report);

// Decodes the body of a POST request: CONTENT_LENGTH bytes read once from
// standard input. REQUEST_METHOD must be exactly "POST". CONTENT_LENGTH is read
// like atol; without digits it is 0, which gives a Form with Count 0 and leaves
// standard input unread. A missing, negative or overlong (above 1 MiB) length
// or a body whose first byte is missing or zero gives null; a body shorter than
// announced is cut after the bytes read. With report non-zero each failure
// writes FormError's page. Result: a new Form (release with FormFree) or null.
Form* FormPost(int report);

// Cuts text in place into name/value pairs ("n=v" pieces joined by '&') and
// decodes each value with UrlDecode. text must be a NUL-terminated block from
// malloc; FormSplit takes it over in every case (the Form owns it, and it is
// released when the result is null). Not reentrant: the cutting keeps its
// scan position in module state. Result: a new Form, or null for a null text
// or when memory runs out.
Form* FormSplit(char* text);

// Decodes s in place: "+" becomes a blank, "%XY" becomes one byte (digits are
// not checked; any two characters after '%' are consumed), a '%' with fewer
// than two characters after it stays. Example: "Dial+up%21" -> "Dial up!".
// Does nothing for null.
void UrlDecode(char* s);

// Finds the first entry whose name equals name exactly (case-sensitive) and
// returns its value, a string inside form. Null when name or form is null, no
// entry has the name, or the first such entry has a null or empty value; later
// entries of the same name never count.
const char* FormLookup(const Form* form, const char* name);

// Like FormLookup, but returns a new copy from malloc that the caller
// releases with free(). Null when FormLookup gives null or memory runs out.
char* FormLookupCopy(const Form* form, const char* name);

// Writes one line "name:value" per entry, in order, to out (a null name or
// value is written as empty). Returns -1 when form is null, else 0.
int FormPrint(const Form* form, FILE* out);

// Releases *form (its text, arrays and itself) and sets *form to null. Does
// nothing when form or *form is null, so a second call is harmless.
void FormFree(Form** form);

// Writes the plain-text error page "Content-type: text/plain;
// charset=utf-8\n\nForm Error:\n", message, "\n" to standard output and
// returns. The message may carry a form's UTF-8 text.
void FormError(const char* message);

#endif  // VELMAR_CGI_LIBFORM_H
