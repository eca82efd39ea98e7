// The transport's own rules, without a server: how an enrollment URL is split, which URLs are
// refused, and the time-out a caller's seconds become.
#include <gtest/gtest.h>

#include "enroll/HttpRequest.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

class Urls : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(Urls, SplitIntoHostPortAndPath) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  HttpRequest request;
  if (r.Has("Url")) request.SetURL(r.Text("Url"));
  ASSERT_EQ(request.IsValidUrl(), r.Int("Valid") != 0);
  if (r.Int("Valid") == 0) {
    // The same refusal through the connection step, before anything is opened.
    EXPECT_EQ(request.HttpConnect(), 6002);
    return;
  }
  EXPECT_EQ(request.IsSecure(), r.Int("Secure") != 0);
  EXPECT_EQ(request.GetServerName(), r.Text("Host"));
  EXPECT_EQ(request.GetPortNumber(), static_cast<std::uint32_t>(r.Int("Port")));
  EXPECT_EQ(request.GetRelativePath(), r.Text("Path"));
}

INSTANTIATE_TEST_SUITE_P(Table, Urls, ::testing::ValuesIn(test::LoadVectorFile("enroll/urls.vec")),
                         test::VectorRecordName);

TEST(HttpRequest, LaterUrlReplacesAndAbsentOneIsIgnored) {
  HttpRequest request;
  request.SetURL("http://first:81/a");
  request.SetURL("https://second/b");
  request.SetURL(std::nullopt);
  ASSERT_TRUE(request.IsValidUrl());
  EXPECT_EQ(request.GetServerName(), "second");
  EXPECT_EQ(request.GetPortNumber(), 443u);
}

TEST(HttpRequest, TimeOutInMilliseconds) {
  const std::pair<std::int32_t, std::uint32_t> cases[] = {
      {-1, 60000}, {30, 30000}, {0, 0}, {2147483, 2147483000u}, {2147484, 0}, {-2, 0}};
  HttpRequest request;
  EXPECT_EQ(request.GetTimeOutMs(), 60000u);
  for (const auto& [seconds, milliseconds] : cases) {
    request.SetTimeOut(seconds);
    EXPECT_EQ(request.GetTimeOutMs(), milliseconds) << seconds;
  }
}

// A host the transport would read differently from the URL check is not connected to; neither is
// an empty host.
TEST(HttpRequest, AmbiguousOrEmptyHostFailsToConnect) {
  for (const char* url : {"https:///x", "https://a b/x"}) {
    HttpRequest request;
    request.SetURL(url);
    EXPECT_EQ(request.HttpConnect(), 6003) << url;
  }
}

TEST(HttpRequest, SendWithoutConnectionFails) {
  HttpRequest request;
  request.SetBody("<x/>");
  EXPECT_EQ(request.HttpSendMessage(), 6003);
  EXPECT_EQ(request.GetBody(), "");
}

}  // namespace
}  // namespace ov
