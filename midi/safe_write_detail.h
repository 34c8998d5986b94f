// What the safe write's two systems share inside: the names it gives its
// own files, and how what a killed run left in a folder is settled.
#pragma once

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

namespace ezg::detail {

// Temporaries, and the record of a pair being replaced. Short and of fixed
// length, so that any name the folder takes can be replaced; recognisable,
// so that what a killed run left is found again.
inline constexpr std::string_view kTempPrefix = ".ezg-";
inline constexpr std::string_view kRecordPrefix = ".ezj-";
inline constexpr std::size_t kOurNameLength = 11;

std::string freshName(std::string_view prefix);
bool isOurs(std::string_view name, std::string_view prefix);

// Tries fresh names until `attempt` takes one, or fails for another reason
// than a name already taken (errno then says which). The name, or "".
template <class Attempt>
std::string takeFreshName(std::string_view prefix, Attempt attempt) {
  constexpr int kNameTries = 100;
  for (int tries = 0; tries < kNameTries; ++tries) {
    std::string leaf = freshName(prefix);
    if (attempt(leaf)) return leaf;
    if (errno != EEXIST) break;
  }
  return {};
}

// The most a record holds: far more than five names of the longest a folder
// takes, in UTF-8.
inline constexpr std::size_t kLargestRecord = 16 * 1024;

// The text of a pair's record: how to undo the pair in its folder.
std::string pairRecord(const std::string& aside, const std::string& leaf1, const std::string& temp1,
                       const std::string& temp2, const std::string& leaf2);

// One folder's names as the settling sees them, in a system's words.
class FolderNames {
 public:
  virtual std::string read(const std::string& leaf) = 0;  // a record's text; "" if it cannot
  virtual bool exists(const std::string& leaf) = 0;
  virtual void rename(const std::string& from, const std::string& to) = 0;
  virtual void remove(const std::string& leaf) = 0;
  virtual bool unheld(const std::string& leaf) = 0;  // no live writer has it open
  virtual void sync() = 0;

 protected:
  ~FolderNames() = default;
};

// Under the folder's lock, given the plain files in it: puts back each pair
// a killed run was replacing (or lets it stand when both new names were in
// place), then removes the temporaries nobody holds. Records first, since
// they name temporaries they still need.
void settleLeftovers(FolderNames& folder, std::vector<std::string> names);

}  // namespace ezg::detail
