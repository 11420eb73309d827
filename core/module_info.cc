#include "core/module_info.h"

const _stMyModuleInfo gstMyModuleInfo76 = {
    76,
    L"KQMARIA",
    L"kq230maria.so",
    L"23.0.2.0",
};
