// The hostile corpus (hostile_corpus.txt): values that have broken SQL
// writers elsewhere (quotes, backslashes, wildcards, character 0, control
// and non-BMP characters), one per line as label, tab, escaped UTF-8 value.
// Escapes: \t \n \r \0, \xHH and \u{H...}; a line starting with # is a
// comment.
//
// Ownership: plain values. Threads: none.
#ifndef KQ230_TESTS_SQLBUILDER_HOSTILE_CORPUS_H_
#define KQ230_TESTS_SQLBUILDER_HOSTILE_CORPUS_H_

#include <string>
#include <vector>

namespace kqtest {

struct CorpusEntry {
  std::string label;
  std::wstring value;
};

// The entries of the corpus file at pszPath, in file order; empty when the
// file cannot be read (callers assert on the count).
std::vector<CorpusEntry> ReadHostileCorpus(const char* pszPath);

}  // namespace kqtest

#endif  // KQ230_TESTS_SQLBUILDER_HOSTILE_CORPUS_H_
