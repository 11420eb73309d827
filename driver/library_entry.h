// The logic of the driver library's five exported entry points: the version
// check, the compatibility handshake with the server's database-engine and
// SQL-parser modules, library initialisation, the creation of the driver
// object and library termination.
//
// The exports themselves (mariadb/library_exports.cc) are thin: they pass the
// back end in through _stNABackEnd, so that this layer never names the back
// end's classes, and tests drive the same code with a back end of their own.
//
// Counting: bExternalInitLibrary and ExternalTermLibrary are counted. The
// first initialisation of a span runs the module initialisation
// (CNADriver::g_NAInitModule: the common layer, versions cleared, a new lock,
// a new identification key); the termination that brings the count back to 0
// runs the back end's termination, which ends with CNADriver::g_NATermModule.
// After that a new initialisation starts afresh, as on first load. A
// termination with nothing initialised answers 0 and does nothing.
//
// The driver object: the first piQueryInterface makes it through the back
// end and hands it out with one external reference; while it lives, a
// further piQueryInterface hands out the same object with one more external
// reference (never a second driver that the first would shadow). It dies with
// its last external reference (CNADriver::nExternalRelease).
//
// Threads: the entry points must not be called concurrently with each other
// or with driver operations (the server calls them at load and unload).
#ifndef KQ230_DRIVER_LIBRARY_ENTRY_H_
#define KQ230_DRIVER_LIBRARY_ENTRY_H_

#include "kq230/na_driver_interface.h"
#include "kq230/platform_types.h"

class CNADriver;

// What the back end gives the entry points.
struct _stNABackEnd {
  // A new driver object of the back end, with no external reference yet.
  // May throw std::bad_alloc; then nothing was made.
  CNADriver* (*pfnNewDriver)();
  // The back end's module termination; it ends with
  // CNADriver::g_NATermModule and answers its result.
  int (*pfnTermModule)();
};

class CNALibraryEntry {
 public:
  // The driver's own interface versions.
  static constexpr int kCheckVersion = 23;
  static constexpr int kHandshakeVersion = 36;
  // Handshake kinds.
  static constexpr int kKindDatabaseEngine = 7;
  static constexpr int kKindSQLParser = 28;

  // Initialisations not yet matched by a termination.
  static int gnNbInit;
  // Module initialisations run in the current span (0 or 1; back to 0 at the
  // termination).
  static int gnNbInitialisation;

  // CheckVersion: 23, at any time.
  static int g_nCheckVersion() { return kCheckVersion; }
  // bDLLCompatible: kind 7 records the partner's version as the database
  // engine's, kind 28 as the SQL parser's; for either, 36 is written to
  // *pnOwnVersion and the answer is 1 when the partner's version is above 35,
  // else 0. Any other kind: 0, nothing recorded, *pnOwnVersion untouched.
  // A null pnOwnVersion is not written.
  static int g_bDLLCompatible(int nKind, unsigned int nPartnerVersion, int* pnOwnVersion);
  // bExternalInitLibrary: counts; the first of a span initialises the module
  // with the library's handle. Always 1.
  static int g_bExternalInitLibrary(HINSTANCE hModule);
  // piQueryInterface: the living driver object with one more external
  // reference, or a new one (stored in CNADriver::s_pclDriver, its current
  // error made) with its first. Throws std::bad_alloc when it cannot be made;
  // nothing is left behind then.
  static INADriver* g_piQueryInterface(const _stNABackEnd& stBackEnd);
  // ExternalTermLibrary: 0 with nothing initialised; otherwise one count
  // less, and at 0 the back end's termination, whose result it answers;
  // else the remaining count.
  static int g_nExternalTermLibrary(const _stNABackEnd& stBackEnd);
};

#endif  // KQ230_DRIVER_LIBRARY_ENTRY_H_
