// The stand-in server's small objects that it hands to the driver besides
// connections: its contexts (INAContext), descriptions of its files
// (INADataSourceDescription, the name only), and placeholders for the
// interfaces that the driver only keeps or passes through (the library shop,
// the virtual-machine data, the database-engine interface, the context
// copier, a parsed query).
//
// Strictness: like CStandInConnection, each object answers only what the
// driver is known to call and aborts the process, naming the interface and
// the slot, on any other call. The placeholders answer nothing at all: the
// driver must keep them without calling them.
//
// A parsed query: the server's parser objects carry their reference count in
// the 32-bit word right after their table of operations, which the driver
// changes with a locked increment; CStandInParsedQuery lays it out so.
//
// Ownership: contexts and placeholders belong to their creator (plain
// objects; the driver never keeps a reference). A data-source description is
// made with one reference, the creator's, counts the driver's references
// (slots 5, 6) and deletes itself at the last one. g_nLive counts the
// descriptions not yet deleted, process-wide.
// Threads: one thread at a time.
#ifndef KQ230_HOST_HARNESS_STANDIN_OBJECTS_H_
#define KQ230_HOST_HARNESS_STANDIN_OBJECTS_H_

#include <cstdint>
#include <string>

#include "kq230/context_interface.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/host_services.h"

// A server context: its identifier and the identifier of the file object
// that is calling (both may be changed between calls, as the server does
// when another file object of the context calls).
class CStandInContext final : public INAContext {
 public:
  CStandInContext(unsigned int dwContextID, unsigned int dwDataID)
      : m_dwContextID(dwContextID), m_dwDataID(dwDataID) {}
  unsigned int dwGetContextID() override { return m_dwContextID; }
  unsigned int dwGetDataID() override { return m_dwDataID; }
  void SetDataID(unsigned int dwDataID) { m_dwDataID = dwDataID; }

 private:
  unsigned int m_dwContextID;
  unsigned int m_dwDataID;
};

// The description of a server file: its logical name (null: absent).
class CStandInDataSource final : public INADataSourceDescription {
 public:
  // Descriptions made and not yet deleted.
  static int g_nLive;

  // One reference, the creator's.
  static CStandInDataSource* pclNew(const wchar_t* pszName);

  int nGetVersion() override;
  int nGetCompatSince() override;
  int nGetNAVersion() override;
  int nGetNACompatSince() override;
  void NAVersion_EmptySlot_3() override;
  void ExternalAddRef() override { ++m_nRefCount; }
  // At 0 the description deletes itself. The new count.
  int nExternalRelease() override;
  const wchar_t* pszGetLogicalName() override;

  int nGetRefCount() const { return m_nRefCount; }

 private:
  explicit CStandInDataSource(const wchar_t* pszName);
  ~CStandInDataSource();

  bool m_bHasName;
  std::wstring m_strName;
  int m_nRefCount = 1;
};

// An object every slot of which aborts (the first 32 slots are laid out),
// naming what it stands for. For the interfaces that the driver must only
// keep: the library shop, the virtual-machine data, the database-engine
// interface and the context copier.
class CStandInAborting {
 public:
  explicit CStandInAborting(const char* pszWhat) : m_pszWhat(pszWhat) {}
  // Not virtual: the table of operations holds only the aborting slots, so
  // that slot 0 too aborts. Never deleted through a base pointer.
  ~CStandInAborting() = default;
  CStandInAborting(const CStandInAborting&) = delete;
  CStandInAborting& operator=(const CStandInAborting&) = delete;
#define KQ_ABORTING_SLOT(n) virtual intptr_t Slot##n();
  KQ_ABORTING_SLOT(0) KQ_ABORTING_SLOT(1) KQ_ABORTING_SLOT(2) KQ_ABORTING_SLOT(3)
  KQ_ABORTING_SLOT(4) KQ_ABORTING_SLOT(5) KQ_ABORTING_SLOT(6) KQ_ABORTING_SLOT(7)
  KQ_ABORTING_SLOT(8) KQ_ABORTING_SLOT(9) KQ_ABORTING_SLOT(10) KQ_ABORTING_SLOT(11)
  KQ_ABORTING_SLOT(12) KQ_ABORTING_SLOT(13) KQ_ABORTING_SLOT(14) KQ_ABORTING_SLOT(15)
  KQ_ABORTING_SLOT(16) KQ_ABORTING_SLOT(17) KQ_ABORTING_SLOT(18) KQ_ABORTING_SLOT(19)
  KQ_ABORTING_SLOT(20) KQ_ABORTING_SLOT(21) KQ_ABORTING_SLOT(22) KQ_ABORTING_SLOT(23)
  KQ_ABORTING_SLOT(24) KQ_ABORTING_SLOT(25) KQ_ABORTING_SLOT(26) KQ_ABORTING_SLOT(27)
  KQ_ABORTING_SLOT(28) KQ_ABORTING_SLOT(29) KQ_ABORTING_SLOT(30) KQ_ABORTING_SLOT(31)
#undef KQ_ABORTING_SLOT

  // Its address as the interface it stands for (the driver sees only a
  // pointer).
  template <class I>
  I* piAs() {
    return reinterpret_cast<I*>(this);
  }

 protected:
  [[noreturn]] void Abort(int nSlot) const;
  // The word after the table of operations: a parsed query's reference
  // count; unused by the others.
  int32_t m_nWord = 0;

 private:
  const char* m_pszWhat;
};

// A parsed query of the server's SQL parser: the table of operations, then
// the reference word. Every operation aborts; the driver may only change the
// word.
class CStandInParsedQuery final : public CStandInAborting {
 public:
  CStandInParsedQuery() : CStandInAborting("ISQLParserInformation") {}
  int32_t nGetRefCount() const { return m_nWord; }
};

#endif  // KQ230_HOST_HARNESS_STANDIN_OBJECTS_H_
