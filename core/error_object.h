// CXError: the error object of the whole system. A failing operation fills
// one: a user error code looked up in a module's error table, the user message
// formatted from that row's numbered message, debug lines, the system error
// (an errno-style code and its text), typed information items and sub-errors.
// The driver's native-access error object reads code, level, messages and
// items from it for the server. _CXErrorModule76 is a CXError bound to the
// driver's own module description.
//
// Ownership: the object owns its texts (framework heap blocks, see
// core/xmalloc.h), its lists and its sub-errors (owned objects, deleted with
// it, not counted references). Information items own their texts; an item of
// type EIT_DATAACCESS holds one counted reference on its CKQUnknown object,
// the .NET and Java exception items one interface reference; type 29 is a
// plain pointer that is not owned. The server holds error objects by
// reference count (CKQUnknown).
//
// Memory exhaustion: a text that cannot be copied leaves its field null (the
// getters then answer ""); a text item whose copy fails is not added; a
// sub-error that cannot be made is not added. Nothing crashes.
//
// Threads: none inside the object; one error object is used by one thread at
// a time. Only the EIT_DATAACCESS reference is taken atomically, because such
// objects are shared with the server.
#ifndef KQ230_CORE_ERROR_OBJECT_H_
#define KQ230_CORE_ERROR_OBJECT_H_

#include <cstdint>

#include "core/growable_array.h"
#include "core/kq_unknown.h"
#include "core/module_info.h"

class CTString;

class CXError : public CKQUnknown {
 public:
  // Error levels: 1 no error, 2 warning, 3 error; the dump also knows the
  // others listed here.
  enum eERRORLEVEL : uint32_t {
    EL_NOERROR = 1,
    EL_WARNING = 2,
    EL_ERROR = 3,
    EL_SYSTEM_FIRST = 0x10001,
    EL_SYSTEM_LAST = 0x10006,
    EL_SYSTEM_OTHER = 0x20001,
    EL_ERROR_FATAL = 0x40000004,
    EL_ERROR_FATAL2 = 0x40000008,
  };

  // Types of information items; the names are the keys the dump prints.
  enum eERRORINFOTYPE : uint32_t {
    EIT_NONE = 0,
    EIT_SRCFILE = 1,
    EIT_DSTFILE = 2,
    EIT_USERNAME = 3,
    EIT_HELPFILE = 4,
    EIT_PATHKQD = 5,
    EIT_LOGICALTABLENAME = 6,
    EIT_ITEMNAME = 7,
    EIT_PATHFIC = 8,
    EIT_PATHNDX = 9,
    EIT_PATHMMO = 10,
    EIT_LINKNAME = 11,
    EIT_RECNUM = 12,
    EIT_ODBCCODE = 13,
    EIT_ODBCDESCRIPTION = 14,
    EIT_BASECODE = 15,
    EIT_NATIVECODE = 16,
    EIT_ADOCODE = 17,
    EIT_BASEMESSAGE = 18,
    EIT_NATIVEMESSAGE = 19,
    EIT_ADOMESSAGE = 20,
    EIT_DATAACCESS = 21,
    EIT_INFOCLIENT = 22,
    EIT_INFOSERVEUR = 23,
    EIT_PILEVX = 24,
    EIT_DATEHEURE = 25,
    EIT_LOCKINFO = 26,
    EIT_CORRIGE_ETAT = 27,
    EIT_INFOCS = 28,
    EIT_POINTER = 29,
    EIT_XINFO = 30,
    EIT_COMPOSANT = 31,
    EIT_SERVEURCS = 32,
    EIT_PILEC = 33,
    EIT_HLOCKTIME = 36,
    EIT_HCNXID = 37,
    EIT_EXCEPTIONDOTNET = 38,
    EIT_POSITION_ERREUR = 39,
    EIT_EXCEPTION_CLASS_NAME = 40,
    EIT_TYPE_KQFILE = 41,
    EIT_IDCODE = 42,
    EIT_EXCEPTIONJAVA = 43,
    EIT_CODEHTTP = 44,
  };

  // Sections of the text dump (StringDump), and its two option bits.
  enum eXERROR_INFO : uint32_t {
    XEI_MODULE = 0x1,
    XEI_CONTEXT = 0x2,
    XEI_LEVEL = 0x4,
    XEI_USERCODE = 0x8,
    XEI_USERCODE55 = 0x10,
    XEI_SYSTEMCODE = 0x20,
    XEI_SYSTEMMESSAGE = 0x40,
    XEI_USERMESSAGE = 0x80,
    XEI_DEBUGMESSAGE = 0x100,
    XEI_INFO = 0x200,
    XEI_DETAILID = 0x400,
    XEI_SUBERROR = 0x800,
    XEI_ALL = 0xFFF,
    XEI_NOUSERMESSAGETITLE = 0x40000000,
    XEI_SKIPEMPTY = 0x80000000,
  };

  // One information item: its type and one or two value words (a 64-bit
  // value low word first).
  struct _stERRORINFO {
    eERRORINFOTYPE eType;
    uintptr_t dwValue;
    uintptr_t dwValue2;
  };

  // ---- Construction and destruction
  explicit CXError(const _stMyModuleInfo* pModule);
  // The variable arguments are the inserts of the code's message.
  CXError(const _stMyModuleInfo* pModule, unsigned int nCode, ...);
  CXError(const _stMyModuleInfo* pModule, unsigned int nCode, char** ppArgs);
  CXError(const _stMyModuleInfo* pModule, const wchar_t* pszDebug, unsigned int nCode, ...);
  CXError(const _stMyModuleInfo* pModule, const wchar_t* pszDebug, unsigned int nCode,
          char** ppArgs);
  CXError(const CXError& other);
  CXError(const _stMyModuleInfo* pModule, const CXError& other);
  CXError(unsigned int nModuleId, CXError* pSource, int bLight);
  CXError(const _stMyModuleInfo* pModule, CXError* pSource, int bLight);
  CXError(const _stMyModuleInfo* pModule, CXError& source, int bLight);
  CXError& operator=(const CXError&) = delete;
  ~CXError() override;

  // ---- Text slots: every text field changes only through these.
  // Stores a copy of pszText without freeing what the field held; the copy,
  // or null when memory is exhausted.
  virtual wchar_t* __vpszAllocString(wchar_t** ppszField, const wchar_t* pszText);
  // Replaces the field by a copy of pszText (nothing when it is the field's
  // own pointer). REQUIRES: pszText non-null unless the field is null.
  virtual wchar_t* __vpszReallocString(wchar_t** ppszField, const wchar_t* pszText);
  // Resizes the field to n + 1 characters. Null when memory is exhausted
  // (the field then keeps its block).
  virtual wchar_t* __vpszReallocString(wchar_t** ppszField, unsigned int n);
  // Appends pszText (a null field gets a copy). Null when memory is exhausted.
  virtual wchar_t* __vpszConcatString(wchar_t** ppszField, const wchar_t* pszText);
  virtual void __vDeleteString(wchar_t** ppszField);
  virtual void __AddSubError(CXError* pError, int bLight, int bNoUserMessage);
  virtual void __DeleteAllSubError();
  virtual void vCopy(const CXError* pSource);

  // ---- Module binding
  void __InitInternalModInfo(unsigned int nModuleId) { m_nModuleId = nModuleId; }
  void InitModInfo(const _stMyModuleInfo* pModule, int bForce);
  void InitModName(const wchar_t* pszName);
  void InitModVersion(const wchar_t* pszVersion);
  const wchar_t* pszGetModName() const { return pszOrEmpty(m_pszModuleName); }
  const wchar_t* pszGetModVersion() const { return pszOrEmpty(m_pszModuleVersion); }
  unsigned int nGetModuleId() const { return m_nModuleId; }

  // ---- User error
  void SetUserErrorCode(unsigned int nCode) { m_nUserErrorCode = nCode; }
  unsigned int nGetUserErrorCode() const { return m_nUserErrorCode; }
  void SetUserErrorCode55(unsigned int nCode) { m_nUserErrorCode55 = nCode; }
  unsigned int nGetUserErrorCode55() const { return m_nUserErrorCode55; }
  void SetDetailId(unsigned int nId) { m_nDetailId = nId; }
  unsigned int nGetDetailId() const { return m_nDetailId; }
  void SetUserError(const _stMyModuleInfo* pModule, unsigned int nCode, ...);
  void SetUserErrorList(const _stMyModuleInfo* pModule, unsigned int nCode, char** ppArgs);
  void ChangeUserError(const _stMyModuleInfo* pModule, unsigned int nCode, ...);
  void ChangeUserErrorList(const _stMyModuleInfo* pModule, unsigned int nCode, char** ppArgs);
  void SetUserErrorMessage(const _stMyModuleInfo* pModule, unsigned int nCode,
                           const wchar_t* pszText);
  void ChangeUserErrorMessage(const _stMyModuleInfo* pModule, unsigned int nCode,
                              const wchar_t* pszText);
  static unsigned int nGetRessourceIdFromUserErrorCode(const _stMyModuleInfo* pModule,
                                                       unsigned int nCode);
  static int __nErrorDefCompare(const _stErrorDef* pA, const _stErrorDef* pB);

  // ---- Messages (results: 1 done, 0 nothing done or no memory)
  int AddUserMessage(const wchar_t* pszText);
  int AddUserMessageNoFormat(const wchar_t* pszText);
  int AddUserMessageFirst(const wchar_t* pszText);
  int AddUserMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, ...);
  int AddUserMessageList(const _stMyModuleInfo* pModule, unsigned int nNumber, char** ppArgs);
  int AddUserMessageFirst(const _stMyModuleInfo* pModule, unsigned int nNumber, ...);
  int AddUserMessageListFirst(const _stMyModuleInfo* pModule, unsigned int nNumber, char** ppArgs);
  void RAZUserMessage();
  const wchar_t* pszGetUserMessage() const { return pszOrEmpty(m_pszUserMessage); }
  int AddDebugMessageNoFormat(const wchar_t* pszText);
  int AddDebugMessageFirst(const wchar_t* pszText);
  int AddDebugMessagePrintf(const wchar_t* pszFormat, ...);
  // Nothing when nNumber is 0xFFFFFFFF.
  int AddDebugMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, ...);
  int AddDebugMessageList(const _stMyModuleInfo* pModule, unsigned int nNumber, char** ppArgs);
  const wchar_t* pszGetDebugMessage() const { return pszOrEmpty(m_pszDebugMessage); }
  void AddErrorId(unsigned int nId);
  int nNumErrorId() const { return m_clErrorIds.nGetNbElement(); }
  // 0 outside 0..nNumErrorId()-1.
  unsigned int nGetErrorId(int nIndex) const;

  // ---- System error
  void SetSystemError(unsigned int nCode, const wchar_t* pszText);
  void SetSystemErrorMessage(const wchar_t* pszText);
  void SetSystemErrorMessage(unsigned int nCode, const wchar_t* pszText);
  void SetSystemErrorMessageA(const char* pszText);
  void SetSystemErrorMessagePrintf(unsigned int nCode, const wchar_t* pszFormat, ...);
  void SetSystemErrorMessagePrintf(const wchar_t* pszFormat, ...);
  void SetSystemErrorMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, ...);
  void SetSystemErrorParam(unsigned int nCode, ...);
  void __SetSystemError(unsigned int nCode, char** ppArgs);
  void SetSystemErrorForGetHostBy(unsigned int nCode);
  unsigned int dwGetSystemErrorCode() const { return m_nSystemErrorCode; }
  const wchar_t* pszGetSystemErrorMessage() const { return pszOrEmpty(m_pszSystemMessage); }

  // ---- Context
  int SetFunctionName(const wchar_t* pszName, unsigned char nSyntax);
  const wchar_t* pszGetFunctionName() const { return pszOrEmpty(m_pszFunctionName); }
  unsigned char nGetFunctionSyntax() const { return m_nFunctionSyntax; }
  void SetVMContext(const wchar_t* pszCaption, const wchar_t* pszObjectName, int nTypeFile,
                    int nIdCode, unsigned short wLine, unsigned short wThread);
  const wchar_t* pszGetTraitmentCaption() const { return pszOrEmpty(m_pszCaption); }
  const wchar_t* pszGetObjectName() const { return pszOrEmpty(m_pszObjectName); }
  unsigned short wGetTraitmentLine() const { return m_wLine; }
  unsigned short wGetTraitmentThread() const { return m_wThread; }
  unsigned int dwGetIdCode() const;
  unsigned int dwGetTypeKQFile() const;

  // ---- Information items
  // pValue: the text for text types, a pointer to the int for 32-bit types,
  // to 8 bytes for 64-bit types, the object or pointer itself otherwise.
  void AddInfo(eERRORINFOTYPE eType, const void* pValue);
  void DeleteInfo(eERRORINFOTYPE eType);
  int nNumInfo() const { return m_clInfos.nGetNbElement(); }
  // For a 64-bit type *ppValue must point to an 8-byte buffer, which receives
  // the value; other types write their value word into *ppValue. An unknown
  // index gives type 0.
  void GetInfo(int nIndex, eERRORINFOTYPE* peType, const void** ppValue) const;
  int bGetInfo(eERRORINFOTYPE eType, const void** ppValue) const;
  int bHasInfo(eERRORINFOTYPE eType) const;
  int __bGetInfoIndice(eERRORINFOTYPE eType, int* pnIndex) const;
  void __SetXInfo(unsigned int dwBits, int bSet);
  int __bGetXInfo(unsigned int dwBits) const;
  // Appends the item's dump text (pValue as GetInfo gives it).
  static void DumpInfo(eERRORINFOTYPE eType, const void* pValue, CTString* pclText);

  // ---- Sub-errors
  void AddSubError(CXError* pError) { __AddSubError(pError, 0, 0); }
  void AddSubErrorLight(CXError* pError) { __AddSubError(pError, 1, 0); }
  void AddSubErrorNoUserMessage(CXError* pError) { __AddSubError(pError, 0, 1); }
  void AddSubErrorLightNoUserMessage(CXError* pError) { __AddSubError(pError, 1, 1); }
  void DeleteAllSubError() { __DeleteAllSubError(); }
  int nGetNbSubError() const { return m_pclSubErrors ? m_pclSubErrors->nGetNbElement() : 0; }
  CXError* pclGetSubError(int nIndex) const;

  // ---- Whole object
  void RAZ();
  void __RAZALL();
  void SetErrorLevel(eERRORLEVEL eLevel);
  eERRORLEVEL eGetErrorLevel() const { return m_eLevel; }
  // Whether the object is as RAZ leaves it (nothing to free, nothing set):
  // a reset of a clean object can then be skipped.
  bool bIsClear() const {
    return m_eLevel == EL_NOERROR && m_nUserErrorCode == 0 && m_nUserErrorCode55 == 0 &&
           m_pszUserMessage == nullptr && m_pszDebugMessage == nullptr &&
           m_pszFunctionName == nullptr && m_pszModuleName == nullptr &&
           m_pszModuleVersion == nullptr && m_pszSystemMessage == nullptr &&
           m_pszCaption == nullptr && m_pszObjectName == nullptr && m_nFunctionSyntax == 0 &&
           m_nDetailId == 0 && m_nSystemErrorCode == 0 && m_wLine == 0 && m_wThread == 0 &&
           m_clErrorIds.nGetCapacite() == 0 && m_clInfos.nGetCapacite() == 0 &&
           m_pclSubErrors == nullptr;
  }
  void Copy(const CXError& source) { Copy(&source); }
  // Nothing when pSource is this object or null.
  void Copy(const CXError* pSource);
  // Takes pSource's contents over; pSource is left reset. Nothing when
  // pSource is this object or null.
  void LightCopy(CXError* pSource);
  void StringDump(CTString& clText, eXERROR_INFO eMask) const;
  void StringDump(CTString& clText, uint32_t dwMask) const {
    StringDump(clText, static_cast<eXERROR_INFO>(dwMask));
  }
  CTString StringDump(eXERROR_INFO eMask) const;
  void TraceDump() const {}
  void SetAnyError(const _stMyModuleInfo* pModule, int nKind, int a, int b);
  void SetErrorNoMemory();
  void SetUserErrorIE(unsigned int nMajor, unsigned int nMinor, const _stMyModuleInfo* pModule,
                      unsigned int nCode, ...);

 private:
  static const wchar_t* pszOrEmpty(const wchar_t* psz) { return psz ? psz : L""; }
  int __AddFirst(wchar_t** ppszField, const wchar_t* pszText);
  int __AddUserMessageList(const _stMyModuleInfo* pModule, unsigned int nNumber, char** ppArgs,
                           bool bFirst);
  int __AddDebugMessageListFormat(const _stMyModuleInfo* pModule, unsigned int nNumber,
                                  char** ppArgs);
  void __SetSystemErrorMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, char** ppArgs);
  void __SetSystemErrorFromUTF8(const char* pszText);
  void __ReleaseInfo(_stERRORINFO& stInfo);
  bool __bStoreInfo(_stERRORINFO& stInfo, const void* pValue);
  void __FreeInfo();
  void __Copy(const CXError& source);

  eERRORLEVEL m_eLevel = EL_NOERROR;
  unsigned int m_nUserErrorCode = 0;
  wchar_t* m_pszUserMessage = nullptr;
  wchar_t* m_pszDebugMessage = nullptr;
  wchar_t* m_pszFunctionName = nullptr;
  wchar_t* m_pszModuleName = nullptr;
  wchar_t* m_pszModuleVersion = nullptr;
  unsigned char m_nFunctionSyntax = 0;
  unsigned int m_nDetailId = 0;
  CTTableau<unsigned int> m_clErrorIds{1, 30};
  CTTableau<_stERRORINFO> m_clInfos{1, 30};
  unsigned int m_nSystemErrorCode = 0;
  wchar_t* m_pszSystemMessage = nullptr;
  wchar_t* m_pszCaption = nullptr;
  unsigned short m_wLine = 0;
  unsigned short m_wThread = 0;
  CTTableau<CXError*>* m_pclSubErrors = nullptr;
  wchar_t* m_pszObjectName = nullptr;
  unsigned int m_nModuleId = 0;
  unsigned int m_nUserErrorCode55 = 0;
};

#if defined(__i386__)
static_assert(sizeof(CXError::_stERRORINFO) == 12, "three 32-bit words");
#endif

// The error object bound to the driver's module description, the one every
// subsystem declares where it reports a failure.
class _CXErrorModule76 : public CXError {
 public:
  _CXErrorModule76() : CXError(&gstMyModuleInfo76) {}
};

#endif  // KQ230_CORE_ERROR_OBJECT_H_
