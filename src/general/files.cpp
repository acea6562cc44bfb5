// Files and directories on POSIX.
#include "general/files.h"

#include "general/main.h"
#include "platform/window.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr u32 kMaxExistsPath = 260;

// The path as 8-bit text with the controls dropped.
void plainText(const FixedIString& text, char (&out)[FixedIString::kCapacity + 1]) { toCString(out, text); }

bool endsWithSlash(const FixedIString& s) { return s.length() > 0 && s.at(s.length() - 1) == '/'; }

mode_t newFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

// ---- Reading ----------------------------------------------------------------

std::FILE* openRegularFile(const char* name, const char* mode) {
  // Not blocking: opening a FIFO would otherwise wait for a writer.
  const int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    ::close(fd);
    errno = error;
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = fdopen(fd, mode);
  if (!f) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return f;
}

void readFile(SizedArray<u8>& out, const FixedIString& name) {
  out.clear();
  char path[FixedIString::kCapacity + 1];
  plainText(name, path);
  std::FILE* f = openRegularFile(path, "rb");
  if (!f) {
    dbgPrintf("Unable to open file %s.\n", path);
    return;
  }
  std::size_t size = 0;
  std::size_t capacity = 0;
  u8* bytes = nullptr;
  for (;;) {
    if (size + 1024 > capacity) {
      capacity = capacity ? capacity * 2 : 4096;
      u8* grown = static_cast<u8*>(std::realloc(bytes, capacity));
      if (!grown) {
        dbgPrintf("Unable to read file %s: out of memory.\n", path);
        size = 0;
        break;
      }
      bytes = grown;
    }
    std::size_t got = std::fread(bytes + size, 1, 1024, f);
    size += got;
    if (got < 1024) break;  // the end, or a read error, which ends it the same way
  }
  std::fclose(f);
  if (size > 0xFFFFFFFFu) size = 0;
  if (size) {
    out.resize(static_cast<u32>(size), __FILE__, __LINE__);
    std::memcpy(out.data(), bytes, size);
  }
  std::free(bytes);
}

// ---- Listing ----------------------------------------------------------------

void sortIStringArray(Array<IString>& list) {
  std::sort(list.begin(), list.end(), [](const IString& a, const IString& b) { return a < b; });
}

int findAll(Array<IString>& list, const FixedIString& directory) {
  char dir[FixedIString::kCapacity + 1];
  plainText(directory, dir);
  dbgPrintf("Doing FindAll:  %s.\n", dir);
  list.clear();
  std::size_t length = std::strlen(dir);
  if (length > kMaxListedDirectory) return 0;
  if (length == 0 || dir[length - 1] != '/') {
    dir[length++] = '/';
    dir[length] = '\0';
  }

  DIR* d = opendir(dir);
  if (!d) return 0;
  bool sawDot = false;
  bool sawDotDot = false;
  char full[FixedIString::kCapacity + 1 + 256 + 1];
  while (dirent* e = readdir(d)) {
    sawDot |= std::strcmp(e->d_name, ".") == 0;
    sawDotDot |= std::strcmp(e->d_name, "..") == 0;
    std::snprintf(full, sizeof full, "%s%s", dir, e->d_name);
    struct stat st;
    bool isDirectory = stat(full, &st) == 0 && S_ISDIR(st.st_mode);
    IString& entry = list.appendSlot();
    entry.assignChar(isDirectory ? kListDirectory : kListFile);
    entry.appendText(e->d_name);
  }
  closedir(d);
  // Every directory has these two; the load pane relies on ".." to go up.
  if (!sawDot) list.appendSlot() = IString::fromText("\x03.");
  if (!sawDotDot) list.appendSlot() = IString::fromText("\x03..");
  sortIStringArray(list);
  return 1;
}

int directoryExists(const FixedIString& path) {
  char text[FixedIString::kCapacity + 2];
  path.toCString(text, FixedIString::kCapacity + 1);
  if (std::strlen(text) > kMaxExistsPath) return 0;
  struct stat st;
  return stat(text[0] ? text : "/", &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
}

// ---- Paths ------------------------------------------------------------------

bool appendPathComponent(FixedIString& path, const FixedIString& name) {
  FixedIString part;
  for (u32 i = 0; i < name.length(); ++i)
    if (name.at(i) >= 15) part.appendChar16(name.at(i));
  if (part.length() == 0) return false;
  if (part.at(part.length() - 1) == '/') part.removeLast(1);
  auto is = [&](const char* text) {
    u32 n = static_cast<u32>(std::strlen(text));
    if (part.length() != n) return false;
    for (u32 i = 0; i < n; ++i)
      if (part.at(i) != static_cast<u8>(text[i])) return false;
    return true;
  };
  if (is(".")) return false;
  bool up = is("..");
  u32 needed = path.length() + (endsWithSlash(path) ? 0 : 1) + (up ? 0 : part.length());
  if (needed > FixedIString::kCapacity) return false;
  if (!endsWithSlash(path)) path.appendChar('/');
  if (up) {
    // Cut at the second slash from the end (it goes too): a/b/ becomes a.
    u32 slashes = 0;
    for (u32 i = path.length(); i-- > 0;) {
      if (path.at(i) == '/' && ++slashes == 2) {
        path.removeLast(path.length() - i);
        return true;
      }
    }
    path.clear();
    return true;
  }
  path.appendFixed(part);
  return true;
}

FixedIString programDirectory() {
  FixedIString result;
  result.assignTextClipped(gProgramPath);
  return result;
}

FixedIString currentDirectory() {
  FixedIString result;
  result.appendChar16(kListDirectory);
  char buffer[FixedIString::kCapacity];
  if (getcwd(buffer, sizeof buffer)) result.appendText(buffer);
  return result;
}

int changeDirectory(const FixedIString& path) {
  char text[FixedIString::kCapacity + 1];
  plainText(path, text);
  return chdir(text) == 0 ? 1 : 0;
}

// ---- ReplacementFile --------------------------------------------------------

namespace {

// Someone may write here: a write permission bit is set (also for root, who
// could write anyway; a file or directory marked read-only is left alone)
// and the system agrees.
bool markedWritable(const char* path, const struct stat& st, int access_mode) {
  return (st.st_mode & 0222) != 0 && access(path, access_mode) == 0;
}

// The file that replacing target really replaces: target itself, or where a
// symbolic link points.  False when it must not be replaced.
bool replaceable(const char* target, std::string& resolved) {
  struct stat st;
  const bool exists = lstat(target, &st) == 0;
  if (!exists && errno != ENOENT) return false;
  resolved = target;
  if (exists && S_ISLNK(st.st_mode)) {
    char real[PATH_MAX];
    if (!realpath(target, real)) return false;  // a dangling link: nowhere to write
    resolved = real;
    if (stat(real, &st) != 0) return false;
  }
  if (exists && (!S_ISREG(st.st_mode) || !markedWritable(resolved.c_str(), st, W_OK))) return false;
  const std::size_t slash = resolved.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : resolved.substr(0, slash);
  struct stat ds;
  return stat(dir.c_str(), &ds) == 0 && S_ISDIR(ds.st_mode) && markedWritable(dir.c_str(), ds, W_OK | X_OK);
}

}  // namespace

bool ReplacementFile::open(const char* target, const char* prefix) {
  abandon();
  if (!target || !replaceable(target, target_)) return false;
  sigset_t hard;
  sigemptyset(&hard);
  sigaddset(&hard, SIGINT);
  sigaddset(&hard, SIGTERM);
  sigaddset(&hard, SIGHUP);
  // Blocked in this thread, and held for our own handler, which another
  // thread may run.
  signalsHeld_ = pthread_sigmask(SIG_BLOCK, &hard, &savedMask_) == 0;
  platform::holdHardStops();
  stopsHeld_ = true;
  const std::size_t slash = target_.rfind('/');
  name_ = slash == std::string::npos ? "./" : target_.substr(0, slash + 1);
  name_ += std::string(prefix ? prefix : "", 0, 40) + "XXXXXX";
  const int fd = mkstemp(name_.data());
  if (fd < 0) {
    name_.clear();
    abandon();
    return false;
  }
  fchmod(fd, newFileMode());
  stream_ = fdopen(fd, "w");
  if (!stream_) {
    ::close(fd);
    abandon();
    return false;
  }
  return true;
}

bool ReplacementFile::commit() {
  if (!stream_) {
    abandon();
    return false;
  }
  struct stat st;
  if (stat(target_.c_str(), &st) == 0) fchmod(fileno(stream_), st.st_mode & 07777);
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_) && fsync(fileno(stream_)) == 0;
  ok = std::fclose(stream_) == 0 && ok;
  stream_ = nullptr;
  if (ok && std::rename(name_.c_str(), target_.c_str()) == 0) {
    name_.clear();
    releaseSignals();
    return true;
  }
  abandon();
  return false;
}

void ReplacementFile::abandon() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
  if (!name_.empty()) std::remove(name_.c_str());
  name_.clear();
  releaseSignals();
}

void ReplacementFile::releaseSignals() {
  if (stopsHeld_) platform::releaseHardStops();
  stopsHeld_ = false;
  if (signalsHeld_) pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
  signalsHeld_ = false;
}
