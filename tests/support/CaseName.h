// Names a parameterized test case after the `name` field of its parameter.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace qvr::test {

struct CaseName {
  template <class Param>
  std::string operator()(const testing::TestParamInfo<Param>& case_info) const {
    return case_info.param.name;
  }
};

}  // namespace qvr::test
