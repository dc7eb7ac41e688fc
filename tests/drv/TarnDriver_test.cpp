#include "drv/TarnDriver.h"

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "platform/LastError.h"

namespace dct {
namespace {

class NamedDriver : public TTarnDriver {
public:
    explicit NamedDriver(AnsiString name) : name_(std::move(name)) {}
    AnsiString DriverName() const override { return name_; }
    AnsiString StrError(int32_t code) const override {
        return code == 77 ? AnsiString("parent seventy-seven") : TTarnDriver::StrError(code);
    }

private:
    AnsiString name_;
};

TEST(DriverErrorTexts, TableAndUnknownCodes) {
    NamedDriver d("D");
    EXPECT_EQ(d.StrError(1), Cp1251(u8"Ошибка CRC").str());
    const auto unknown = [](const char* hex) {
        return Cp1251(u8"Неизвестный код ошибки $").str() + hex +
               Cp1251(u8". Сообщите, пожалуйста, разработчикам программы.").str();
    };
    EXPECT_EQ(d.StrError(6), unknown("6"));
    EXPECT_EQ(d.StrError(255), unknown("FF"));
    EXPECT_EQ(d.StrError(-1), unknown("FFFFFFFF"));
}

TEST(DriverErrorTexts, ParentSuppliesNameAndUnknownTexts) {
    NamedDriver parent("Parent"), child("Child");
    child.FParent = &parent;
    EXPECT_EQ(child.StrError(77), "parent seventy-seven");
    EXPECT_EQ(child.StrError(4), Cp1251(u8"Нет ответа от устройства").str());
    try {
        child.RaiseException(4, "");
        FAIL() << "no exception";
    } catch (const EDriverError& e) {
        EXPECT_EQ(e.Message(), "Parent: " + Cp1251(u8"Нет ответа от устройства").str());
    }
}

TEST(DriverErrorRaising, MessageCodeAndSystemError) {
    NamedDriver d(Cp1251(u8"Терминал сбора данных Opicon&Zebex").str());
    platform::SetLastSystemError(5);
    try {
        d.RaiseException(4, "");
        FAIL() << "no exception";
    } catch (const EDriverError& e) {
        EXPECT_EQ(e.Message(), Cp1251(u8"Терминал сбора данных Opicon&Zebex: Нет ответа от устройства").str());
        EXPECT_EQ(e.Code(), 4);
        EXPECT_EQ(e.SystemError(), 5u);
        EXPECT_STREQ(e.ClassName(), "EDriverError");
    }
    EXPECT_THROW(
        {
            try {
                d.RaiseException(4, "exact text");
            } catch (const EDriverError& e) {
                EXPECT_EQ(e.Message(), "exact text");
                throw;
            }
        },
        EDriverError);
    try {
        d.RaiseException(9, "code %d at %s", {9, "port"});
        FAIL() << "no exception";
    } catch (const EDriverError& e) {
        EXPECT_EQ(e.Message(), "code 9 at port");
    }
    EXPECT_THROW(d.RaiseException(9, "%d", {"text"}), EConvertError);
}

}  // namespace
}  // namespace dct
