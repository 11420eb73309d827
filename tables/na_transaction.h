// CNATransaction: the transaction of one connection, one level deep. The
// connection (driver/connection_description.h) makes it at the first begin
// through its pclAllocTransaction hook, keeps it, and routes the server's
// begin, commit and rollback to it; the level sends "BEGIN", "COMMIT" and
// "ROLLBACK" through the connection's direct transaction hooks.
//
// What is here: one level with its name (compared without regard to case),
// its open flag and its begin kind; bResume and bSetActive answer 1 and do
// nothing. Nesting (an inner level per begin inside an open one, kept as a
// savepoint) comes with the record writes: until then
// bInternalTransactionBegin fails with user error 8.
//
// Lost connection: when the connection loses its server while the level is
// open, the server has rolled the work back. The level then ends as
// "aborted": it still counts as running (so that its connection neither
// closes nor reconnects and replays later statements outside any
// transaction), nothing more is sent for it, the next commit answers 0 with
// the native code of the loss and a rollback answers 1.
//
// Ownership: a CInterf; the connection holds one reference. The connection
// pointer is not counted: the connection owns the level and outlives it.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_TABLES_NA_TRANSACTION_H_
#define KQ230_TABLES_NA_TRANSACTION_H_

#include "core/wide_string.h"
#include "driver/transaction_interface.h"

class CNAConnectionDescription;

class CNATransaction : public CNATransactionBase {
 public:
  // The error file number of the transaction's debug lines.
  static constexpr int kErrorFile = 2;

  // A closed level of pclConnection.
  // REQUIRES: pclConnection non-null and alive as long as this level.
  explicit CNATransaction(CNAConnectionDescription* pclConnection);
  ~CNATransaction() override;

  CNATransaction(const CNATransaction&) = delete;
  CNATransaction& operator=(const CNATransaction&) = delete;

  // ---- CNATransactionBase
  // Stores the name and the kind, then begins: the open flag becomes the
  // result of "BEGIN".
  int bBegin(CNAError* pclError, const wchar_t* pszName, int nKind) override;
  // No name, or this level's name: the level ends ("COMMIT", the open flag
  // cleared first, so the level counts as ended even when the server
  // refused). Another name: user error 9 naming it, nothing sent. An aborted
  // level: 0 with the native code of the loss, nothing sent.
  int bCommit(CNAError* pclError, const wchar_t* pszName) override;
  // As bCommit with "ROLLBACK"; a level that is not open answers 1 and sends
  // nothing; an aborted level answers 1 and sends nothing.
  int bRollBack(CNAError* pclError, const wchar_t* pszName) override;
  // Not built yet: user error 8 (an aborted level reports its loss instead).
  int bInternalTransactionBegin(CNAError* pclError, const wchar_t* pszName) override;
  int bResume(CNAError*) override { return 1; }
  int bSetActive(CNAError*, int) override { return 1; }
  int bIsOpened() const override { return m_bOpen || m_bAborted; }
  void SetAborted(unsigned int nNative, const wchar_t* pszMessage) override;
  int bIsAborted() const override { return m_bAborted; }
  unsigned int nGetAbortNativeCode() const override { return m_bAborted ? m_nAbortNative : 0; }
  int nReportAborted(CNAError* pclError, int nFile, int nSite) override;

  // ---- Read by tests and the later levels
  const wchar_t* pszGetName() const { return m_csName.pszGet(); }
  int nGetBeginKind() const { return m_nBeginKind; }
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }

 protected:
  // The level's SQL through the connection's direct hooks; the back end's
  // nesting replaces them with savepoints later.
  virtual int _bNABegin(CNAError* pclError);
  virtual int _bNACommit(CNAError* pclError);
  virtual int _bNARollBack(CNAError* pclError);

 private:
  // Whether a given name designates this level: none, empty, or equal
  // without regard to case.
  bool bIsThisLevel(const wchar_t* pszName) const;
  int _bCommit(CNAError* pclError);
  int _bRollBack(CNAError* pclError);

  CNAConnectionDescription* m_pclConnection;
  CTString m_csName;
  int m_bOpen = 0;
  int m_nBeginKind = 0;
  int m_bAborted = 0;
  unsigned int m_nAbortNative = 0;
  CTString m_csAbortMessage;
};

#endif  // KQ230_TABLES_NA_TRANSACTION_H_
