// The table writer of the answers: one list of columns, written as aligned
// text, RFC 4180 CSV, JSON objects, NDJSON lines or an SQL script, so every
// format of a command carries the same columns under the same names.
#include <cstdio>
#include <cstring>
#include <string>

#include "answers/answers.h"

namespace {

// The text of a text cell as a terminal should get it: a control byte (an
// escape sequence's start, a line end), a C1 control and a byte that is no
// part of a UTF-8 character are each one '?', so a name from a log cannot
// move the cursor or recolour the screen.
std::string TerminalText(const char* text) {
  std::string shown;
  for (const char* p = text; *p != '\0';) {
    int n = Utf8Length(p);
    unsigned char c = static_cast<unsigned char>(p[0]), next = static_cast<unsigned char>(p[1]);
    bool control = n == 0 || c < 0x20 || c == 0x7F || (c == 0xC2 && next < 0xA0);
    if (control) {
      shown += '?';
    } else {
      shown.append(p, static_cast<size_t>(n));
    }
    p += n == 0 ? 1 : n;
  }
  return shown;
}

// Writes n blanks.
void Pad(OutBuf* o, int n) {
  for (; n > 0; --n) OutChar(o, ' ');
}

void PutInt(OutBuf* o, int64_t v) {
  if (v < 0) {
    OutChar(o, '-');
    OutNumber(o, 0 - static_cast<uint64_t>(v));
  } else {
    OutNumber(o, static_cast<uint64_t>(v));
  }
}

void PutReal(OutBuf* o, double v, int digits) {
  char text[64];
  snprintf(text, sizeof text, "%.*f", digits, v);
  OutText(o, text);
}

// The decimal text of v at the end of buf's size bytes (at least 21), as
// "%lld" writes it: a session row has four integers, and snprintf would
// parse its format for each.
const char* IntText(int64_t v, char* buf, size_t size) {
  char* p = buf + size;
  *--p = '\0';
  uint64_t u = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (v < 0) *--p = '-';
  return p;
}

// The text of a cell into buf (for measuring and padding); null and text
// cells point elsewhere. A duration is h:mm:ss when clock is set, else its
// seconds.
const char* CellText(const Cell& c, ZoneCache* zone, char* buf, size_t size, bool clock) {
  switch (c.Kind) {
    case kCellText:
      return c.Text;
    case kCellInt:
      return IntText(c.Int, buf, size);
    case kCellSeconds:
      return clock ? ClockText(c.Int, buf, size) : IntText(c.Int, buf, size);
    case kCellReal:
      snprintf(buf, size, "%.*f", c.Digits, c.Real);
      return buf;
    case kCellTime:
      ZoneFormat(zone, c.Int, buf);
      return buf;
    case kCellBool:
      return c.Int ? "true" : "false";
    case kCellNull:
      return "";
  }
  return "";
}

void TextRow(Table* t, const Cell* cells) {
  for (int i = 0; i < t->Count; ++i) {
    char buf[64];
    const char* text = CellText(cells[i], t->Zone, buf, sizeof buf, true);
    std::string shown;
    if (t->Out->Terminal && cells[i].Kind == kCellText) text = (shown = TerminalText(text)).c_str();
    int len = static_cast<int>(strlen(text)), width = t->Columns[i].Width;
    if (i > 0) OutBytes(t->Out, "  ", 2);
    if (t->Columns[i].Right) Pad(t->Out, width - len);
    OutBytes(t->Out, text, static_cast<size_t>(len));
    if (!t->Columns[i].Right && i + 1 < t->Count) Pad(t->Out, width - len);
  }
  OutChar(t->Out, '\n');
}

void CsvRow(Table* t, const Cell* cells) {
  for (int i = 0; i < t->Count; ++i) {
    if (i > 0) OutChar(t->Out, ',');
    char buf[64];
    const char* text = CellText(cells[i], t->Zone, buf, sizeof buf, false);
    // Only a text cell can hold a comma, a quote or a line end.
    if (cells[i].Kind == kCellText) {
      CsvPutField(t->Out, text, strlen(text));
    } else {
      OutText(t->Out, text);
    }
  }
  OutChar(t->Out, '\n');
}

void JsonRow(Table* t, const Cell* cells) {
  if (t->Format == kFormatJson) OutText(t->Out, t->Rows == 0 ? "\n    " : ",\n    ");
  OutChar(t->Out, '{');
  for (int i = 0; i < t->Count; ++i) {
    if (i > 0) OutBytes(t->Out, ", ", 2);
    JsonString(t->Out, t->Columns[i].Name);
    OutBytes(t->Out, ": ", 2);
    CellValue(t->Out, cells[i], t->Zone, true);
  }
  OutChar(t->Out, '}');
  if (t->Format == kFormatNdjson) OutChar(t->Out, '\n');
}

// The SQL type of a column of this kind (a time's first column).
const char* SqlType(CellKind kind) {
  switch (kind) {
    case kCellInt:
    case kCellSeconds:
    case kCellBool:
      return "INTEGER";
    case kCellReal:
      return "REAL";
    default:
      return "TEXT";
  }
}

// Writes a name as an SQL identifier: in double quotes, so that a column
// such as "end" is never taken for a keyword. The names are the program's.
void SqlName(OutBuf* o, const char* name, const char* suffix) {
  OutChar(o, '"');
  OutText(o, name);
  OutText(o, suffix);
  OutChar(o, '"');
}

void SqlCreate(Table* t) {
  OutText(t->Out, "BEGIN TRANSACTION;\nDROP TABLE IF EXISTS ");
  SqlName(t->Out, t->Name, "");
  OutText(t->Out, ";\nCREATE TABLE ");
  SqlName(t->Out, t->Name, "");
  OutText(t->Out, " (");
  for (int i = 0; i < t->Count; ++i) {
    const Column& c = t->Columns[i];
    OutText(t->Out, i == 0 ? "\n  " : ",\n  ");
    SqlName(t->Out, c.Name, "");
    OutChar(t->Out, ' ');
    OutText(t->Out, SqlType(c.Kind));
    if (c.Kind != kCellTime) continue;
    OutText(t->Out, ",\n  ");
    SqlName(t->Out, c.Name, "_epoch");
    OutText(t->Out, " INTEGER,\n  ");
    SqlName(t->Out, c.Name, "_local");
    OutText(t->Out, " TEXT");
  }
  OutText(t->Out, "\n);\n");
}

// A time's three values: its ISO text, its epoch seconds, its local time.
void SqlTime(OutBuf* o, EventTime when, ZoneCache* zone) {
  char iso[kIsoTextSize];
  ZoneFormat(zone, when, iso);
  OutChar(o, '\'');
  OutText(o, iso);
  OutText(o, "',");
  PutInt(o, when);
  iso[10] = ' ';
  iso[19] = '\0';
  OutText(o, ",'");
  OutText(o, iso);
  OutChar(o, '\'');
}

void SqlValue(Table* t, const Cell& c, CellKind columnKind) {
  char buf[64];
  switch (c.Kind) {
    case kCellText:
      SqlString(t->Out, c.Text);
      return;
    case kCellTime:
      SqlTime(t->Out, c.Int, t->Zone);
      return;
    case kCellBool:
      OutChar(t->Out, c.Int ? '1' : '0');
      return;
    case kCellNull:
      OutText(t->Out, columnKind == kCellTime ? "NULL,NULL,NULL" : "NULL");
      return;
    default:
      OutText(t->Out, CellText(c, t->Zone, buf, sizeof buf, false));
      return;
  }
}

void SqlRow(Table* t, const Cell* cells) {
  OutText(t->Out, "INSERT INTO ");
  SqlName(t->Out, t->Name, "");
  OutText(t->Out, " VALUES (");
  for (int i = 0; i < t->Count; ++i) {
    if (i > 0) OutChar(t->Out, ',');
    SqlValue(t, cells[i], t->Columns[i].Kind);
  }
  OutText(t->Out, ");\n");
}

// Whether text can stand in an SQL literal as it is: UTF-8 throughout,
// without a control character.
bool PlainText(const char* text) {
  for (const char* p = text; *p != '\0';) {
    unsigned char c = static_cast<unsigned char>(*p);
    int n = Utf8Length(p);
    if (n == 0 || c < 0x20 || c == 0x7F) return false;
    p += n;
  }
  return true;
}

}  // namespace

// Written from the end, as IntText is: a session row has two durations,
// and snprintf would parse its format for each.
const char* ClockText(int64_t seconds, char* out, size_t size) {
  uint64_t u = seconds < 0 ? 0 - static_cast<uint64_t>(seconds) : static_cast<uint64_t>(seconds);
  char* p = out + size;
  *--p = '\0';
  for (uint64_t part : {u % 60, u / 60 % 60}) {
    *--p = static_cast<char>('0' + part % 10);
    *--p = static_cast<char>('0' + part / 10);
    *--p = ':';
  }
  uint64_t hours = u / 3600;
  do {
    *--p = static_cast<char>('0' + hours % 10);
    hours /= 10;
  } while (hours != 0);
  if (seconds < 0) *--p = '-';
  return p;
}

void SqlString(OutBuf* o, const char* text) {
  if (PlainText(text)) {
    OutChar(o, '\'');
    for (const char* p = text; *p != '\0'; ++p) {
      if (*p == '\'') OutChar(o, '\'');
      OutChar(o, *p);
    }
    OutChar(o, '\'');
    return;
  }
  static const char kHex[] = "0123456789ABCDEF";
  OutText(o, "CAST(X'");
  for (const char* p = text; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    OutChar(o, kHex[c >> 4]);
    OutChar(o, kHex[c & 15]);
  }
  OutText(o, "' AS TEXT)");
}

Cell TextCell(const char* text) {
  return Cell{kCellText, text, 0, 0.0, 0};
}
Cell IntCell(int64_t v) {
  return Cell{kCellInt, nullptr, v, 0.0, 0};
}
Cell RealCell(double v, int digits) {
  return Cell{kCellReal, nullptr, 0, v, digits};
}
Cell TimeCell(EventTime t) {
  return Cell{kCellTime, nullptr, t, 0.0, 0};
}
Cell BoolCell(bool v) {
  return Cell{kCellBool, nullptr, v ? 1 : 0, 0.0, 0};
}
Cell NullCell() {
  return Cell{kCellNull, nullptr, 0, 0.0, 0};
}
Cell SecondsCell(int64_t seconds) {
  return Cell{kCellSeconds, nullptr, seconds, 0.0, 0};
}

int Utf8Length(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  if (p[0] < 0x80) return 1;
  // The lead byte gives the length and the range its first continuation
  // byte must lie in; the others lie in 0x80..0xBF.
  int n;
  unsigned char low = 0x80, high = 0xBF;
  if (p[0] >= 0xC2 && p[0] <= 0xDF) {
    n = 2;
  } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
    n = 3;
    if (p[0] == 0xE0) low = 0xA0;   // no overlong forms
    if (p[0] == 0xED) high = 0x9F;  // no surrogates
  } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    n = 4;
    if (p[0] == 0xF0) low = 0x90;
    if (p[0] == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (p[1] < low || p[1] > high) return 0;
  for (int i = 2; i < n; ++i) {
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  }
  return n;
}

void JsonString(OutBuf* o, const char* text) {
  OutChar(o, '"');
  for (const char* p = text; *p != '\0';) {
    unsigned char c = static_cast<unsigned char>(*p);
    int n = c < 0x80 ? 1 : Utf8Length(p);
    if (c == '"' || c == '\\') {
      OutChar(o, '\\');
      OutChar(o, static_cast<char>(c));
    } else if (c < 0x20) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", c);
      OutText(o, esc);
    } else if (n == 0) {
      OutText(o, "\xEF\xBF\xBD");  // U+FFFD in place of the stray byte
    } else {
      OutBytes(o, p, static_cast<size_t>(n));
    }
    p += n == 0 ? 1 : n;
  }
  OutChar(o, '"');
}

void CellValue(OutBuf* o, const Cell& c, ZoneCache* zone, bool json) {
  char buf[64];
  switch (c.Kind) {
    case kCellInt:
      PutInt(o, c.Int);
      return;
    case kCellSeconds:
      if (json) {
        PutInt(o, c.Int);
        return;
      }
      break;
    case kCellReal:
      PutReal(o, c.Real, c.Digits);
      return;
    case kCellNull:
      if (json) OutText(o, "null");
      return;
    case kCellText:
    case kCellTime:
      if (json) {
        JsonString(o, CellText(c, zone, buf, sizeof buf, false));
        return;
      }
      break;
    case kCellBool:
      break;
  }
  if (c.Kind == kCellText && o->Terminal) {
    OutText(o, TerminalText(c.Text).c_str());
    return;
  }
  OutText(o, CellText(c, zone, buf, sizeof buf, true));
}

void JsonListOpen(OutBuf* out, const char* name) {
  OutText(out, "{\n  ");
  JsonString(out, name);
  OutText(out, ": [");
}

void JsonListClose(OutBuf* out) {
  OutText(out, "\n  ]\n}\n");
}

void JsonMember(OutBuf* out, const char* name, const Cell& value, ZoneCache* zone) {
  OutText(out, ",\n  ");
  JsonString(out, name);
  OutBytes(out, ": ", 2);
  CellValue(out, value, zone, true);
}

bool CellBefore(const Cell& a, const Cell& b) {
  if (a.Kind == kCellNull || b.Kind == kCellNull) return a.Kind != kCellNull && b.Kind == kCellNull;
  switch (a.Kind) {
    case kCellText:
      return strcmp(a.Text, b.Text) < 0;
    case kCellTime:
      return a.Int < b.Int;
    case kCellReal:
      return a.Real > b.Real;
    default:
      return a.Int > b.Int;
  }
}

bool AnswerSortColumn(const AnswerOptions* opt, const Column* columns, int count, int ownOrder,
                      int* column) {
  *column = -1;
  if (opt->Sort == nullptr) return true;
  for (int i = 0; i < count; ++i) {
    if (strcmp(columns[i].Name, opt->Sort) != 0) continue;
    *column = i == ownOrder ? -1 : i;
    return true;
  }
  std::string names;
  for (int i = 0; i < count; ++i) names += std::string(i == 0 ? "" : ", ") + columns[i].Name;
  fprintf(stderr, "%s: --sort: bad value '%s' (a column of this answer: %s)\n", opt->Program,
          opt->Sort, names.c_str());
  return false;
}

size_t AnswerShown(const AnswerOptions* opt, size_t n) {
  return opt->Top != 0 && opt->Top < n ? static_cast<size_t>(opt->Top) : n;
}

void TableStart(Table* t, OutBuf* out, AnswerFormat format, const Column* columns, int count,
                ZoneCache* zone, const char* name) {
  t->Out = out;
  t->Format = format;
  t->Columns = columns;
  t->Count = count;
  t->Zone = zone;
  t->Name = name;
  t->Rows = 0;
  if (format == kFormatSql) SqlCreate(t);
  if (format != kFormatText && format != kFormatCsv) return;
  std::vector<Cell> names;
  for (int i = 0; i < count; ++i) {
    bool heading = format == kFormatText && columns[i].Heading != nullptr;
    names.push_back(TextCell(heading ? columns[i].Heading : columns[i].Name));
  }
  if (format == kFormatText) {
    TextRow(t, names.data());
  } else {
    CsvRow(t, names.data());
  }
}

void TableRow(Table* t, const Cell* cells) {
  if (t->Format == kFormatText) {
    TextRow(t, cells);
  } else if (t->Format == kFormatCsv) {
    CsvRow(t, cells);
  } else if (t->Format == kFormatSql) {
    SqlRow(t, cells);
  } else {
    JsonRow(t, cells);
  }
  ++t->Rows;
}

void TableEnd(Table* t) {
  if (t->Format == kFormatSql) OutText(t->Out, "COMMIT;\n");
}
