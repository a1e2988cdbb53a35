// allsql-host: the stand-in host. Loads the update plug-in library, makes the host strings and
// calls DoUpdate with the database directory from the command line, as the desktop application
// does.

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "plugin/host_string.h"

namespace {

constexpr const char* kDefaultLibrary = "liballsql.so";
constexpr const char* kEntryPoint = "DoUpdate";

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: allsql-host [--library PATH] DATABASE_DIR\n"
               "\n"
               "Runs the update dialog of the plug-in library on the game database in\n"
               "DATABASE_DIR: the newest stored draw of each game, the download of the missing\n"
               "draws and their execution. Returns when the dialog is closed.\n"
               "\n"
               "  --library PATH  the plug-in library (default %s, looked up as the dynamic\n"
               "                  loader looks up libraries)\n"
               "  --help          this text\n"
               "\n"
               "Environment:\n"
               "  ALLSQL_UI=console        the console dialog even when a display is available\n"
               "                           (it is used anyway when there is none); commands are\n"
               "                           read from standard input, \"help\" lists them\n"
               "  ALLSQL_SERVICE=HOST[:PORT]  the results service (default 127.0.0.1:18232)\n",
               kDefaultLibrary);
}

// A host string the host owns for the length of the call.
class HostString {
 public:
  explicit HostString(const std::string& text)
      : s_(AllsqlStringNew(text.data(), static_cast<int32_t>(text.size()))) {}
  ~HostString() { AllsqlStringRelease(s_); }
  HostString(const HostString&) = delete;
  HostString& operator=(const HostString&) = delete;
  AllsqlString get() const { return s_; }

 private:
  AllsqlString s_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string library = kDefaultLibrary;
  std::string directory;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--library") == 0 && i + 1 < argc) {
      library = argv[++i];
    } else if (argv[i][0] == '-' || !directory.empty()) {
      std::fprintf(stderr, "allsql-host: unexpected argument '%s'\n", argv[i]);
      PrintUsage(stderr);
      return 2;
    } else {
      directory = argv[i];
    }
  }
  if (directory.empty()) {
    std::fprintf(stderr, "allsql-host: the database directory is missing\n");
    PrintUsage(stderr);
    return 2;
  }
  if (directory.size() > 0x7FFFFFFF) {
    std::fprintf(stderr, "allsql-host: the database directory is too long\n");
    return 2;
  }

  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "allsql-host: cannot load %s: %s\n", library.c_str(), dlerror());
    return 1;
  }
  auto do_update = reinterpret_cast<AllsqlDoUpdateFunction>(dlsym(handle, kEntryPoint));
  if (do_update == nullptr) {
    std::fprintf(stderr, "allsql-host: %s has no %s\n", library.c_str(), kEntryPoint);
    dlclose(handle);
    return 1;
  }
  {
    // The database directory's bytes are passed unchanged: they name the directory as the file
    // system knows it.
    HostString database(directory);
    HostString program("allsql-host");
    do_update(0, 0, 0, nullptr, nullptr, program.get(), 0, database.get(), nullptr);
  }
  dlclose(handle);
  return 0;
}
