#include "corpus.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "run/page_list.h"

namespace fs = std::filesystem;

namespace slimtag::bench {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::uint64_t TreeBytes(const fs::path& root) {
  std::uint64_t bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) bytes += entry.file_size();
  }
  return bytes;
}

std::string Quoted(const fs::path& path) {
  std::string quoted = "'";
  for (const char c : path.string()) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

fs::path CorpusLocation() {
  if (const char* env = std::getenv("SLIMTAG_CORPUS"); env != nullptr && *env != '\0') return env;
  return SLIMTAG_CORPUS_DIR;
}

Corpus& Corpus::Get() {
  static Corpus corpus;
  return corpus;
}

Corpus::Corpus() {
  std::string pattern = (fs::temp_directory_path() / "slimtag-corpus-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    error_ = "mkdtemp failed in " + fs::temp_directory_path().string();
    return;
  }
  root_ = pattern;
  Unpack(CorpusLocation());
}

void Corpus::Unpack(const fs::path& location) {
  std::error_code ec;
  fs::path archive = location;
  if (fs::is_directory(location, ec)) archive = location / "pages.tar.gz";
  lf_ = root_ / "lf";
  fs::create_directory(lf_);
  if (fs::is_regular_file(archive, ec)) {
    const std::string unpack = "tar -xzf " + Quoted(archive) + " -C " + Quoted(lf_);
    if (std::system(unpack.c_str()) != 0) {
      error_ = "cannot unpack " + archive.string();
      return;
    }
  } else if (fs::is_directory(location, ec)) {
    fs::copy(location, lf_, fs::copy_options::recursive, ec);
    if (ec) {
      error_ = "cannot copy " + location.string() + ": " + ec.message();
      return;
    }
  } else {
    error_ = "no corpus at " + location.string() + " (set SLIMTAG_CORPUS)";
    return;
  }
  if (fs::exists(lf_ / "corpus")) lf_ /= "corpus";
  crlf_ = root_ / "crlf";

  for (const auto& entry : fs::recursive_directory_iterator(lf_)) {
    const fs::path target = crlf_ / fs::relative(entry.path(), lf_);
    if (entry.is_directory()) {
      fs::create_directories(target);
      continue;
    }
    fs::create_directories(target.parent_path());
    const std::string lf = ReadAll(entry.path());
    std::string crlf;
    crlf.reserve(lf.size() + lf.size() / 16);
    for (const char c : lf) {
      if (c == '\n') crlf.push_back('\r');
      crlf.push_back(c);
    }
    if (!lf.empty() && lf.back() != '\n') crlf.push_back('\r');
    WriteAll(target, crlf);
    if (MatchesPagePattern(entry.path().filename().string())) {
      const fs::path folder = fs::relative(entry.path().parent_path(), lf_);
      if (std::find(page_folders_.begin(), page_folders_.end(), folder) == page_folders_.end()) {
        page_folders_.push_back(folder);
      }
    }
  }
  lf_bytes_ = TreeBytes(lf_);
  crlf_bytes_ = TreeBytes(crlf_);
  if (page_folders_.empty()) error_ = "no pages in " + location.string();
}

std::vector<PageText> Corpus::Pages(bool crlf) const {
  std::vector<PageText> pages;
  const fs::path& base = Pristine(crlf);
  for (const fs::path& folder : page_folders_) {
    for (const auto& entry : fs::directory_iterator(base / folder)) {
      if (!entry.is_regular_file() || !MatchesPagePattern(entry.path().filename().string())) {
        continue;
      }
      pages.push_back({fs::relative(entry.path(), base), ReadAll(entry.path())});
    }
  }
  std::sort(pages.begin(), pages.end(),
            [](const PageText& a, const PageText& b) { return a.relative < b.relative; });
  return pages;
}

Corpus::~Corpus() {
  std::error_code ec;
  if (!root_.empty()) fs::remove_all(root_, ec);
}

}  // namespace slimtag::bench
