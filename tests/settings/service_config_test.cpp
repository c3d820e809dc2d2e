#include "settings/service_config.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "settings/settings.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;

namespace {

class ServiceConfigTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1); }
    quavrel::test::TempDir dir_;
};

}  // namespace

TEST_F(ServiceConfigTest, DefaultsWithoutValues)
{
    ServiceAddresses addresses = LoadServiceAddresses();
    EXPECT_EQ(addresses.searchServer, ServiceAddresses{}.searchServer);
    EXPECT_EQ(addresses.supportMail, ServiceAddresses{}.supportMail);
}

TEST_F(ServiceConfigTest, StoredValuesReplaceTheDefaults)
{
    auto key = OpenUserRegistry()->openKey(kConfigKey);
    key->writeString("searchserver", " mp3.example.org:8080 ");
    key->writeString("MakerServer", "[::1]:9000");
    key->writeString("PortalServer", "portal.example.org");
    key->writeString("SupportMail", "help@example.org");
    ServiceAddresses addresses = LoadServiceAddresses();
    EXPECT_EQ(addresses.searchServer, "mp3.example.org:8080");
    EXPECT_EQ(addresses.makerServer, "[::1]:9000");
    EXPECT_EQ(addresses.portalServer, "portal.example.org");
    EXPECT_EQ(addresses.supportMail, "help@example.org");
}

// A value that would put spaces, paths or line breaks into a request line keeps the
// default instead.
TEST_F(ServiceConfigTest, MalformedOrMistypedValuesKeepTheDefault)
{
    auto key = OpenUserRegistry()->openKey(kConfigKey);
    key->writeString("SearchServer", "evil.org\r\nX: y");
    key->writeDword("MakerServer", 1);
    key->writeString("PortalServer", "host:99999");
    ServiceAddresses addresses = LoadServiceAddresses();
    EXPECT_EQ(addresses.searchServer, ServiceAddresses{}.searchServer);
    EXPECT_EQ(addresses.makerServer, ServiceAddresses{}.makerServer);
    EXPECT_EQ(addresses.portalServer, ServiceAddresses{}.portalServer);
}

TEST(ServerAddress, Forms)
{
    EXPECT_TRUE(IsValidServerAddress("127.0.0.1:8531"));
    EXPECT_TRUE(IsValidServerAddress("a-b.example"));
    EXPECT_TRUE(IsValidServerAddress("[fe80::1]"));
    EXPECT_FALSE(IsValidServerAddress(""));
    EXPECT_FALSE(IsValidServerAddress("host:"));
    EXPECT_FALSE(IsValidServerAddress("host:0"));
    EXPECT_FALSE(IsValidServerAddress("host/path"));
    EXPECT_FALSE(IsValidServerAddress("[::1"));
    EXPECT_FALSE(IsValidServerAddress("a b"));
}
