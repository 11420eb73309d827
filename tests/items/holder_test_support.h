// Test support for value holders: an error object, a holder and an item
// description, each counted for the test's scope, and a slot of bytes that a
// holder writes into, filled beforehand so that bytes left untouched show.
//
// Ownership: each object takes the first reference and gives it back when
// it goes out of scope.
// Threads: one test at a time.
#ifndef KQ230_TESTS_ITEMS_HOLDER_TEST_SUPPORT_H_
#define KQ230_TESTS_ITEMS_HOLDER_TEST_SUPPORT_H_

#include <cstring>
#include <memory>
#include <string>

#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "items/item_description.h"

namespace kqtest {

struct TestError {
  TestError() : p(new CNAError) { p->AddRef(); }
  ~TestError() { p->nRelease(); }
  CNAError* p;
};

struct TestHolder {
  explicit TestHolder(CNAError* pclError) : p(new CNAConvertVariant(pclError, nullptr)) {
    p->AddRef();
  }
  ~TestHolder() {
    p->SetItemDesc(nullptr, nullptr);
    p->nRelease();
  }
  CNAConvertVariant* operator->() const { return p; }
  CNAConvertVariant* p;
};

// An item of the type and size (digits and decimals for a decimal one);
// none for NA_IT_EMPTY.
struct TestItem {
  explicit TestItem(eNA_ITEMTYPE e, int nSize = 16, int nDigits = 0, int nDecimals = 0) {
    if (e == NA_IT_EMPTY) return;
    p = new CNAItemDescription;
    p->AddRef();
    p->bInit(L"item", L"table", L"item", 1, nSize, e, 0, 0, 0, nDigits, nDecimals, nullptr,
             nullptr);
  }
  ~TestItem() {
    if (p != nullptr) p->nRelease();
  }
  CNAItemDescription* p = nullptr;
};

// n bytes of kTestSlotFill (p() null for 0 bytes).
inline constexpr unsigned char kTestSlotFill = 0xAB;
struct TestSlot {
  explicit TestSlot(unsigned int n) : n(n), buf(new unsigned char[n == 0 ? 1 : n]) {
    std::memset(buf.get(), kTestSlotFill, n == 0 ? 1 : n);
  }
  unsigned char* p() { return n == 0 ? nullptr : buf.get(); }
  std::string bytes() const { return std::string(reinterpret_cast<const char*>(buf.get()), n); }
  unsigned int n;
  std::unique_ptr<unsigned char[]> buf;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_ITEMS_HOLDER_TEST_SUPPORT_H_
