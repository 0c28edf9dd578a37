// Windows Installer's answers about a package, with the asking started early
// or not: on the stand-in and, under Wine, on msi.dll.
#include <gtest/gtest.h>

#include "platform/tests/contract.h"

namespace glyphary::platform::testing {
namespace {

class SystemContract : public ::testing::TestWithParam<std::string> {
 protected:
  std::unique_ptr<System> Make() const {
#ifdef _WIN32
    if (GetParam() == "win32") return MakeWin32SystemUnderTest();
#endif
    return MakeFakeSystemUnderTest();
  }
};

TEST_P(SystemContract, ThePackageQuestionsAnswerAlikeWithAnEarlyStartOrWithout) {
  // An upgrade code and a product that no package has.
  constexpr std::wstring_view kUpgrade = L"{3F0C6A9E-52D1-4B8E-9A70-6C2E1D4B8F05}";
  constexpr std::wstring_view kProduct = L"{8B1E2D3C-4A5F-4E6D-8C7B-9A0F1E2D3C4B}";
  for (const int starts : {0, 2}) {  // a second start does nothing
    const std::unique_ptr<System> system = Make();
    for (int i = 0; i < starts; ++i) system->StartPackageQuery(kUpgrade);
    WideText product(L"untouched");
    EXPECT_FALSE(system->InstalledPackage(kUpgrade, product));
    EXPECT_EQ(product, L"untouched");
    EXPECT_FALSE(system->ProductInstalled(kProduct));
    system->StartPackageQuery(kUpgrade);  // once answered, nothing is started
    EXPECT_FALSE(system->InstalledPackage(kUpgrade, product));
  }
  // Started and never asked (a run that ends early, at once or not): the
  // object goes all the same, and its thread with it.
  for (int i = 0; i < 3; ++i) Make()->StartPackageQuery(kUpgrade);
  const std::unique_ptr<System> ending = Make();
  ending->StartPackageQuery(kUpgrade);
  ending->FinishPackageQuery();
  ending->FinishPackageQuery();
}

INSTANTIATE_TEST_SUITE_P(Implementations, SystemContract, ::testing::ValuesIn(Implementations()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
}  // namespace glyphary::platform::testing
