// The durable floor: the least that a safe rewrite of pages costs on a disk. Rewrites the pages of
// the given folders unchanged, as a safe replacement must: every page's content written to a new
// file beside it, one syncfs for the file system, then each new file renamed over its page.
//
//   durable_floor FOLDER...
//
// Every regular file of each folder (not of its sub-folders) counts as a page.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rewrite {
  std::string page;
  std::string beside;
};

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  std::fprintf(stderr, "durable_floor: %s %s: %s\n", what.c_str(), path.c_str(),
               std::strerror(errno));
  std::exit(2);
}

std::vector<std::string> PagesOf(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) Fail("cannot open folder", folder);
  std::vector<std::string> pages;
  while (const dirent* entry = readdir(dir)) {
    const std::string path = folder + "/" + entry->d_name;
    struct stat st;
    if (entry->d_name[0] != '.' && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      pages.push_back(path);
    }
  }
  closedir(dir);
  return pages;
}

// Copies the page into its new file beside it, whole.
void WriteBeside(const Rewrite& rewrite, std::vector<char>& buffer) {
  const int in = open(rewrite.page.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) Fail("cannot read", rewrite.page);
  const int out = open(rewrite.beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) Fail("cannot create", rewrite.beside);
  for (;;) {
    const ssize_t n = read(in, buffer.data(), buffer.size());
    if (n < 0) Fail("cannot read", rewrite.page);
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0) Fail("cannot write", rewrite.beside);
      done += w;
    }
  }
  close(in);
  if (close(out) != 0) Fail("cannot close", rewrite.beside);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: durable_floor FOLDER...\n");
    return 64;
  }
  std::vector<Rewrite> rewrites;
  for (int i = 1; i < argc; ++i) {
    for (const std::string& page : PagesOf(argv[i])) rewrites.push_back({page, page + ".floor~"});
  }
  std::vector<char> buffer(std::size_t(1) << 20);
  for (const Rewrite& rewrite : rewrites) WriteBeside(rewrite, buffer);
  // One sync of the file system holds every new file's content on the disk.
  const int fs = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fs < 0 || syncfs(fs) != 0) Fail("cannot sync the file system of", argv[1]);
  close(fs);
  for (const Rewrite& rewrite : rewrites) {
    if (rename(rewrite.beside.c_str(), rewrite.page.c_str()) != 0)
      Fail("cannot rename", rewrite.beside);
  }
  return 0;
}
