#pragma once

// The shared corpus of real pages (see its README), found beside the checkout or where
// SLIMTAG_CORPUS points (the archive, or a folder that holds it or its unpacked pages).

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace slimtag::bench {

// Where the corpus is: SLIMTAG_CORPUS if set, else the folder the build was configured with.
std::filesystem::path CorpusLocation();

// A page of the corpus in memory, as the run reads it.
struct PageText {
  std::filesystem::path relative;  // inside the corpus
  std::string bytes;
};

// The corpus unpacked once into a scratch folder, in its LF form and in the CR LF form that
// Windows editors write (a carriage return before every line feed, and after a last line that
// has none, as `sed 's/$/\r/'` makes it). The scratch folder is removed when the program ends.
class Corpus {
 public:
  static Corpus& Get();

  // Empty when the corpus is usable, else why not.
  const std::string& Error() const { return error_; }
  const std::filesystem::path& Root() const { return root_; }
  const std::filesystem::path& Pristine(bool crlf) const { return crlf ? crlf_ : lf_; }
  std::uint64_t Bytes(bool crlf) const { return crlf ? crlf_bytes_ : lf_bytes_; }
  // The folders (relative to Pristine) that hold pages.
  const std::vector<std::filesystem::path>& PageFolders() const { return page_folders_; }
  // Every page (a name the file chooser lists) in one form, read into memory.
  std::vector<PageText> Pages(bool crlf) const;

  ~Corpus();
  Corpus(const Corpus&) = delete;
  Corpus& operator=(const Corpus&) = delete;

 private:
  Corpus();
  void Unpack(const std::filesystem::path& location);

  std::string error_;
  std::filesystem::path root_, lf_, crlf_;
  std::uint64_t lf_bytes_ = 0, crlf_bytes_ = 0;
  std::vector<std::filesystem::path> page_folders_;
};

std::string ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const std::string& content);
std::uint64_t TreeBytes(const std::filesystem::path& root);
std::string Quoted(const std::filesystem::path& path);

}  // namespace slimtag::bench
