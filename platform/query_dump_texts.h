// CKQVariant: the captions used when a query's values are dumped as text (the
// names of the language type and the ADO type, the words for value, time and
// date, and the three messages for a value that could not be converted).
//
// InitQueryDumpRessources loads them from numbered messages of the driver's
// module, with built-in fallbacks, and hands FreeQueryDumpRessources to the
// module entry (CMainCommun76::ms_pfnFreeQueryDumpRessources), which runs it
// when the framework terminates: the framework core cannot name this layer.
//
// Ownership: each caption is a block of the framework's allocation entry
// points owned by its static, or null (never loaded, freed, or its copy
// failed). A second InitQueryDumpRessources frees the first texts before it
// loads new ones.
// Threads: the statics are unguarded; load and free run at start or end of
// the library, or under the driver mutex.
#ifndef KQ230_PLATFORM_QUERY_DUMP_TEXTS_H_
#define KQ230_PLATFORM_QUERY_DUMP_TEXTS_H_

class CTString;

class CKQVariant {
 public:
  static wchar_t* s_pszDumpVXType;             // message 25675, "Type Orvatic"
  static wchar_t* s_pszDumpADOType;            // message 25680, "Type ADO"
  static wchar_t* s_pszDumpValue;              // message 25670, "Valeur"
  static wchar_t* s_pszDumpTime;               // message 25669, "Heure"
  static wchar_t* s_pszDumpDate;               // message 25671, "Date"
  static wchar_t* s_pszDumpConvFailed_Text;    // message 25674
  static wchar_t* s_pszDumpConvFailed_Date;    // message 25672
  static wchar_t* s_pszDumpConvFailed_Time;    // message 25673

  // Loads every caption (DLLRES_bLoadString of the driver's module; the
  // fallback text when the message is missing) into a new block. Texts loaded
  // before are freed first.
  static void InitQueryDumpRessources();
  // The same with another message table: pfnLoad answers 1 and the text of a
  // message number, or 0 when the table lacks it. For the tests.
  typedef int (*PFNLOADCAPTION)(unsigned int nNumber, CTString* pclText);
  static void __InitQueryDumpRessources(PFNLOADCAPTION pfnLoad);
  // Frees every loaded caption and nulls its static; safe when none is loaded.
  static void FreeQueryDumpRessources();
};

#endif  // KQ230_PLATFORM_QUERY_DUMP_TEXTS_H_
