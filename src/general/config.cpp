// "kez.cfg": reading one option's line and rewriting the file.
#include "general/config.h"

#include <sys/types.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "general/files.h"

namespace {

// One line split as the file's readers always have: the name runs to the
// first tab (leading tabs skipped); the value is the next run of characters
// that are not tab, CR or LF.  Either may be missing.
struct Fields {
  std::string_view name;
  std::string_view value;
  bool complete() const { return !name.empty() && !value.empty(); }
};

Fields splitLine(std::string_view line) {
  Fields f;
  // A NUL cannot be part of a name or value that is compared or written as
  // text: such a line is no option line (it is kept as it is).
  if (line.find('\0') != std::string_view::npos) return f;
  std::size_t p = line.find_first_not_of('\t');
  if (p == std::string_view::npos) return f;
  std::size_t end = line.find('\t', p);
  f.name = line.substr(p, end == std::string_view::npos ? std::string_view::npos : end - p);
  if (end == std::string_view::npos) return f;
  std::size_t v = line.find_first_not_of("\t\r\n", end);
  if (v == std::string_view::npos) return f;
  std::size_t vend = line.find_first_of("\t\r\n", v);
  f.value = line.substr(v, vend == std::string_view::npos ? std::string_view::npos : vend - v);
  return f;
}

// Reads whole lines of any length; the caller frees *line.
bool nextLine(std::FILE* f, char** line, std::size_t* capacity, std::string_view* out) {
  ssize_t n = getline(line, capacity, f);
  if (n < 0) return false;
  *out = std::string_view(*line, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

namespace config {

i32 parseNumber(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  i64 n = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    n = n * 10 + (*p - '0');
    if (n > i64(INT32_MAX) + 1) n = i64(INT32_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > INT32_MAX) n = INT32_MAX;
  return static_cast<i32>(n);
}

bool readValue(const char* name, char* value, std::size_t size) {
  std::FILE* f = openRegularFile(kFileName, "r");
  if (!f) return false;
  char* line = nullptr;
  std::size_t capacity = 0;
  std::string_view text;
  bool found = false;
  while (!found && nextLine(f, &line, &capacity, &text)) {
    Fields fields = splitLine(text);
    if (!fields.complete() || fields.name != name) continue;
    std::size_t n = fields.value.size() < size - 1 ? fields.value.size() : size - 1;
    std::memcpy(value, fields.value.data(), n);
    value[n] = '\0';
    found = true;
  }
  std::free(line);
  std::fclose(f);
  return found;
}

namespace {

bool rewrite(const char* name, const char* value) {
  std::FILE* in = openRegularFile(kFileName, "r");
  // Only a missing file starts afresh; one that cannot be read is kept.
  if (!in && errno != ENOENT) return false;
  ReplacementFile out;
  if (!out.open(kFileName, "kez")) {
    if (in) std::fclose(in);
    return false;
  }
  std::FILE* o = out.stream();
  bool ok = true;
  bool written = false;
  if (in) {
    char* line = nullptr;
    std::size_t capacity = 0;
    std::string_view text;
    while (ok && nextLine(in, &line, &capacity, &text)) {
      Fields f = splitLine(text);
      if (f.name == name) {
        // Also a line of this name without a value (an empty text saved
        // earlier), so such lines never pile up.
        ok = std::fprintf(o, "%s\t%s\n", name, value) >= 0;
        written = true;
      } else if (!f.complete()) {
        // Not an option line: kept as it is, never handed to a formatter.
        ok = std::fwrite(text.data(), 1, text.size(), o) == text.size() &&
             (text.back() == '\n' || std::fputc('\n', o) != EOF);
      } else {
        ok = std::fprintf(o, "%.*s\t%.*s\n", int(f.name.size()), f.name.data(), int(f.value.size()),
                          f.value.data()) >= 0;
      }
    }
    ok = ok && !std::ferror(in);
    std::free(line);
    std::fclose(in);
  }
  if (ok && !written) ok = std::fprintf(o, "%s\t%s\n", name, value) >= 0;
  return ok && out.commit();
}

}  // namespace

bool writeValue(const char* name, const char* value) {
  if (rewrite(name, value)) return true;
  dbgPrintf("Unable to save the option %s: %s was left as it was.\n", name, kFileName);
  return false;
}

}  // namespace config

bool ConfigTraits<i32>::format(const i32& v, char* out, std::size_t size) {
  std::snprintf(out, size, "%d", v);
  return true;
}

bool ConfigTraits<u16>::format(const u16& v, char* out, std::size_t size) {
  std::snprintf(out, size, "%d", v);
  return true;
}

bool ConfigTraits<FixedIString>::format(const FixedIString& v, char* out, std::size_t size) {
  v.toCString(out, static_cast<u32>(size < 256 ? size : 256));
  return !std::strpbrk(out, "\t\r\n");
}
