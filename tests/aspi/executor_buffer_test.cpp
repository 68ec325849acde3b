// The executor lends the layer no more of the caller's buffer than both
// SRB_BufLen and the registered length allow.
#include <gtest/gtest.h>

#include <vector>

#include "../guarded_buffer.h"
#include "scripted_layer.h"

namespace {

TEST(ExecuteRequest, DataStayWithinTheRegisteredLengthAndSrbBufLen) {
  std::vector<std::uint8_t> reply(40);
  for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<std::uint8_t>(i + 1);
  struct Case {
    std::uint32_t registered, bufLen;
    LayerAnswer::Kind kind;
  };
  const Case cases[] = {{8, 40, LayerAnswer::AtOnce}, {8, 40, LayerAnswer::Later},
                        {81, 8, LayerAnswer::AtOnce}, {81, 8, LayerAnswer::Later}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "registered " << c.registered << ", SRB_BufLen "
                                    << c.bufLen << (c.kind == LayerAnswer::Later ? ", late" : ""));
    ScriptedLayer layer;
    layer.answer = {c.kind, SS_COMP, 20, reply};
    GuardedBuffer buffer(c.registered);
    SRB block;
    FillRecognisableScsiRequest(block);
    block.SRB_BufLen = c.bufLen;
    block.SRB_BufPointer = buffer.handle;
    ExecuteRequest(block, true);
    EXPECT_EQ(block.SRB_Status, SS_COMP);
    EXPECT_EQ(buffer.Written(), std::vector<std::uint8_t>(reply.begin(), reply.begin() + 8));
  }
}

}  // namespace
