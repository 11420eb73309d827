#include "platform/file_failure.h"

#include <cerrno>
#include <cstdarg>

#include "core/error_object.h"
#include "core/module_info.h"

int CFileFailure::_bOnError(int bSuccess, CXError* pError) {
  if (pError == nullptr) return 0;
  const int nErr = errno;
  pError->RAZ();
  if (bSuccess) return 0;
  pError->SetErrorLevel(CXError::EL_ERROR);
  errno = nErr;
  pError->SetSystemErrorParam(static_cast<unsigned int>(nErr));
  errno = nErr;
  return 1;
}

void CFileFailure::_OnMemoryError(CXError* pError) {
  if (pError == nullptr) return;
  pError->RAZ();
  pError->SetErrorLevel(CXError::EL_ERROR);
  pError->InitModInfo(&gstMyModuleInfo76, 1);
  pError->AddDebugMessageNoFormat(L"##MemoryException##");
}

void RecordFileFailure(CXError* pError, unsigned int nSystemError, const wchar_t* pszItem1,
                       const wchar_t* pszItem2, unsigned int nMessage, ...) {
  if (pError == nullptr) {
    errno = static_cast<int>(nSystemError);
    return;
  }
  pError->RAZ();
  pError->SetErrorLevel(CXError::EL_ERROR);
  pError->InitModInfo(&gstMyModuleInfo76, 1);
  // The system error's text comes from errno (the lock-conflict code reads as
  // EAGAIN there).
  errno = static_cast<int>(nSystemError);
  pError->SetSystemErrorParam(nSystemError);
  if (nMessage != 0) {
    va_list args;
    va_start(args, nMessage);
    pError->AddUserMessageListFirst(&gstMyModuleInfo76, nMessage, reinterpret_cast<char**>(&args));
    va_end(args);
  }
  if (pszItem1 != nullptr) pError->AddInfo(CXError::EIT_SRCFILE, pszItem1);
  if (pszItem2 != nullptr) pError->AddInfo(CXError::EIT_DSTFILE, pszItem2);
  errno = static_cast<int>(nSystemError);
}
