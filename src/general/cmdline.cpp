#include "general/cmdline.h"

#include <cstring>

ParsedCommandLine parseCommandLine(const char* line, size_t pathLimit) {
  ParsedCommandLine out;
  if (!line) return out;

  // The program path: up to the first blank outside double quotes; the
  // quotes are copied too and a tab does not end it.
  size_t pos = 0;
  bool quoted = false;
  std::string path;
  for (; line[pos] != 0; ++pos) {
    const char c = line[pos];
    if (c == '"')
      quoted = !quoted;
    else if (c == ' ' && !quoted)
      break;
    path += c;
  }
  if (!path.empty() && path[0] == '"') {
    path.erase(0, 1);
    const size_t q = path.find('"');
    if (q != std::string::npos) path.resize(q);
  }
  for (char& c : path)
    if (c == '\\') c = '/';
  const size_t slash = path.rfind('/');
  out.programDirectory = slash == std::string::npos ? std::string() : path.substr(0, slash);
  if (out.programDirectory.size() >= pathLimit) out.programDirectory.resize(pathLimit ? pathLimit - 1 : 0);

  // The switches.
  while (line[pos] != 0) {
    if (line[pos] != '-') {
      ++pos;
      continue;
    }
    ++pos;
    const bool eSwitch = line[pos] == 'e' || line[pos] == 'E';
    if (eSwitch) ++pos;
    std::string value;
    quoted = false;
    for (; line[pos] != 0; ++pos) {
      const char c = line[pos];
      if (c == '"') {
        quoted = !quoted;
        continue;
      }
      if ((c == ' ' || c == '\t') && !quoted) break;
      if (value.size() < kSwitchValueLimit) value += c;
    }
    (eSwitch ? out.eSwitchValues : out.switches).push_back(value);
    if (line[pos] == 0) break;
    ++pos;  // past the blank or tab that ended the value
  }
  return out;
}

std::string rebuildCommandLine(int argc, const char* const* argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i] ? argv[i] : "";
    if (i == 0) {
      const bool blank = std::strchr(arg, ' ') != nullptr;
      if (blank) line += '"';
      line += arg;
      if (blank) line += '"';
      continue;
    }
    line += ' ';
    for (const char* p = arg; *p;) {
      if (*p == ' ' || *p == '\t') {
        line += '"';
        while (*p == ' ' || *p == '\t') line += *p++;
        line += '"';
      } else {
        line += *p++;
      }
    }
  }
  return line;
}
