#include "drv/dct/DctDriver.h"

namespace dct {
namespace {

// A record is handed over unless its quantity lies below the double nearest to 1e-5; a quantity
// that is not a number is handed over too (it is not below anything).
bool QuantityHandedOver(double quantity) { return !(quantity < 1e-5); }

}  // namespace

int32_t TDctDriver::EnumData(bool clearAfter, TDctEnumCallback& callback) {
    const int32_t status = BeginReading();
    if (status != 0) return status;
    double quantity = 0;
    for (;;) {
        FEnumCode.clear();
        if (!NextRecord(FEnumCode, quantity)) break;
        if (!FEnumCode.empty() && QuantityHandedOver(quantity)) callback(FEnumCode.c_str(), quantity);
    }
    FEnumCode.clear();
    EndReading(clearAfter);
    return status;
}

}  // namespace dct
