// The captions of the query dump, loaded from numbered messages on first use
// and released at the end of the library.
//
// Not loaded in this build yet: no caption is ever held, so releasing them
// frees nothing. Loading them will hand FreeQueryDumpRessources to the module
// entry (CMainCommun76::ms_pfnFreeQueryDumpRessources), which runs it at the
// end of the library.
#ifndef KQ230_PLATFORM_QUERY_DUMP_TEXTS_H_
#define KQ230_PLATFORM_QUERY_DUMP_TEXTS_H_

class CKQVariant {
 public:
  // Frees every loaded caption; safe to call when none is loaded.
  static void FreeQueryDumpRessources();
};

#endif  // KQ230_PLATFORM_QUERY_DUMP_TEXTS_H_
