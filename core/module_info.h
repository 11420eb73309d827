// _stMyModuleInfo: the description of a module of the framework, passed by
// address to the error object and to the numbered-message functions.
//
// The driver's own description is gstMyModuleInfo76. It is constant data.
#ifndef KQ230_CORE_MODULE_INFO_H_
#define KQ230_CORE_MODULE_INFO_H_

struct _stMyModuleInfo {
  int nModuleId;              // 76 for this driver
  const wchar_t* pszModule;   // module name used in error texts
  const wchar_t* pszFile;     // file name of the library
  const wchar_t* pszVersion;  // product version
};

extern const _stMyModuleInfo gstMyModuleInfo76;

#endif  // KQ230_CORE_MODULE_INFO_H_
