// Reading the language values that the driver writes across the boundary:
// a test hands the driver a CAny of its own (the project's value library,
// linked into the test program) and reads back what the driver put in it.
//
// The driver installs its own behaviour object in the value, so every read
// here goes through the value's table of operations into the driver's code,
// and so does the value's destruction: a value the driver wrote must be
// destroyed while the driver is loaded.
//
// Threads: one value per thread.
#ifndef KQ230_TESTS_HOST_BOUNDARY_VALUES_H_
#define KQ230_TESTS_HOST_BOUNDARY_VALUES_H_

#include <string>

class CAny;

namespace kqtest {

// The type code of the value (its low byte).
int nTypeOf(const CAny& clValue);
bool bIsNullValue(const CAny& clValue);
// The text of a wide text value (DSTRW, PSTRW, CARW), every character kept
// (zeros too); "<not a wide text>" for any other type.
std::wstring WideTextOf(const CAny& clValue);
// The same as ASCII, other characters as '?'.
std::string TextOf(const CAny& clValue);
// The bytes of a binary value (BIN) as they are; empty for another type.
std::string BytesOf(const CAny& clValue);

}  // namespace kqtest

#endif  // KQ230_TESTS_HOST_BOUNDARY_VALUES_H_
