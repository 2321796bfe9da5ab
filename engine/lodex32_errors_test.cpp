#include "lodex32_errors.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(ErrorTable, NamesTheFirstInterfacesCodesAndTheLaterOnes) {
  int first_interface = 0, later = 0;
  std::set<std::string> names;
  for (int32_t code = -1000; code < 0; ++code) {
    const Lodex32ErrorInfo* error = Lodex32FindError(code);
    if (error == nullptr) continue;
    EXPECT_EQ(error->code, code);
    EXPECT_EQ(std::string(error->name).rfind("ERROR_", 0), 0u) << error->name;
    EXPECT_STRNE(error->text, "");
    EXPECT_TRUE(names.insert(error->name).second) << error->name << " named twice";
    ++(error->first_interface ? first_interface : later);
  }
  EXPECT_EQ(first_interface, 27);
  EXPECT_EQ(later, 5);
  EXPECT_FALSE(Lodex32FindError(ERROR_BadKind)->first_interface);
  EXPECT_STREQ(Lodex32FindError(ERROR_BadOperationScene)->name, "ERROR_BadOperationScene");
}

TEST(ErrorTable, FaultsAndUnlistedCodesHaveNoEntry) {
  EXPECT_EQ(Lodex32FindError(-110), nullptr);
  EXPECT_EQ(Lodex32FindError(0), nullptr);
  EXPECT_EQ(Lodex32FindError(FAULT_Search), nullptr);
  EXPECT_LE(FAULT_FetchRecord, LODEX32_FAULT_LIMIT);
}

}  // namespace
