#include "host/obj/standin_object_library.h"

#include <mutex>
#include <string>

#include "kq230/platform_types.h"

namespace {

struct _stRecord {
  std::mutex mutex;
  int nAnswer = 1;
  int nCalls = 0;
  HWND__* hWnd = nullptr;
  std::wstring text;
  std::wstring caption;
  unsigned int nType = 0;
};

_stRecord& Record() {
  static _stRecord record;  // destroyed when the library is unloaded
  return record;
}

}  // namespace

KQ_EXPORT int MessageBox_QT_W(HWND__* hWnd, const wchar_t* pszText, const wchar_t* pszCaption,
                              unsigned int nType) {
  _stRecord& r = Record();
  std::lock_guard<std::mutex> lock(r.mutex);
  ++r.nCalls;
  r.hWnd = hWnd;
  r.text = pszText != nullptr ? pszText : L"";
  r.caption = pszCaption != nullptr ? pszCaption : L"";
  r.nType = nType;
  return r.nAnswer;
}

KQ_EXPORT void StandInObj_SetAnswer(int nAnswer) {
  std::lock_guard<std::mutex> lock(Record().mutex);
  Record().nAnswer = nAnswer;
}

KQ_EXPORT int StandInObj_nCalls() {
  std::lock_guard<std::mutex> lock(Record().mutex);
  return Record().nCalls;
}

KQ_EXPORT int StandInObj_bGetLastCall(HWND__** phWnd, const wchar_t** ppszText, const wchar_t** ppszCaption,
                                      unsigned int* pnType) {
  _stRecord& r = Record();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (r.nCalls == 0) return 0;
  *phWnd = r.hWnd;
  *ppszText = r.text.c_str();
  *ppszCaption = r.caption.c_str();
  *pnType = r.nType;
  return 1;
}

KQ_EXPORT void StandInObj_Reset() {
  _stRecord& r = Record();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.nAnswer = 1;
  r.nCalls = 0;
  r.hWnd = nullptr;
  r.text.clear();
  r.caption.clear();
  r.nType = 0;
}
