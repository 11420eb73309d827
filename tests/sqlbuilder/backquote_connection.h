// BackquoteConnection: a connection description of server kind 5 whose names
// are quoted with backquotes, as the MariaDB connection's are, that is always
// open and reaches no server: for tests of SQL text that need the dialect's
// quotes but no database.
//
// Ownership: counted as CInterf; holds the host's description as every
// connection description does.
// Threads: none of its own.
#ifndef KQ230_TESTS_SQLBUILDER_BACKQUOTE_CONNECTION_H_
#define KQ230_TESTS_SQLBUILDER_BACKQUOTE_CONNECTION_H_

#include "driver/connection_description.h"

namespace kqtest {

class BackquoteConnection : public CNAConnectionDescription {
 public:
  // The server kind and the connection's code page (-1: not set yet, as
  // before an opening; 65001 UTF-8; 1252; -2 wide) may be chosen.
  explicit BackquoteConnection(INAConnectionDescription* piHost, int nServerKind = kServerKindMariaDB,
                               int nCodePage = kCodePageUnset)
      : CNAConnectionDescription(L"Connection=backquotes", piHost) {
    _SetQuotes(L"`", L"`");
    _SetServerKind(nServerKind);
    _SetConnectionCodePage(nCodePage);
  }
  int bOpen(CNAError*) override { return 1; }
  int bIsOpen() const override { return 1; }
  int bClose(CNAError*) override { return 1; }
  void _InitZB2NativeType() override {}
};

}  // namespace kqtest

#endif  // KQ230_TESTS_SQLBUILDER_BACKQUOTE_CONNECTION_H_
