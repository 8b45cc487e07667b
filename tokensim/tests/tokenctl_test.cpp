// tokenctl as a user drives it: clear refusals with exit code 2 and no key
// written or changed on bad arguments.
#include <cstring>

#include "token_test_base.h"

class Tokenctl : public TokenTest {
 protected:
  std::string KeyFile(const std::string& name) { return keys_.path() + "\\" + name + ".json"; }
  std::string KeyText(const std::string& name) {
    std::string text;
    simtest::ReadFileBytes(KeyFile(name), text);
    return text;
  }
};

TEST_F(Tokenctl, BadArgumentsExitWith2AndWriteNothing) {
  for (const char* arguments : {"create k --type nope", "create k --serial 12345678901234567890123456789012",
                                "create k --user-retries 99", "create k --label", "create bad\\name",
                                "create k --user-tries-left 9 --user-retries 3", "explode k"}) {
    const simtest::ProcessResult r = simtest::Tokenctl(arguments);
    EXPECT_EQ(r.exit_code, 2u) << arguments << "\n" << r.output;
    EXPECT_NE(r.output.find("tokenctl:"), std::string::npos) << arguments;
    EXPECT_EQ(GetFileAttributesA(KeyFile("k").c_str()), INVALID_FILE_ATTRIBUTES) << arguments;
  }
}

TEST_F(Tokenctl, FailedChangesLeaveTheKeyAsItWas) {
  Ctl("create k --label Before");
  const std::string before = KeyText("k");
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(simtest::Tokenctl("set k --user-tries-left 9").exit_code, 2u);  // above the limit of 8
  EXPECT_EQ(simtest::Tokenctl("set k --label " + std::string(33, 'x')).exit_code, 2u);
  EXPECT_EQ(simtest::Tokenctl("create k").exit_code, 1u);  // exists
  EXPECT_EQ(simtest::Tokenctl("set nokey --label x").exit_code, 1u);

  simtest::TempFolder scratch("notcert");
  ASSERT_TRUE(simtest::WriteFileBytes(scratch.File("junk.der"), std::string(300, '\x30')));
  ASSERT_TRUE(simtest::WriteFileBytes(scratch.File("junk.pem"), "-----BEGIN CERTIFICATE-----\n!!!\n"));
  EXPECT_EQ(simtest::Tokenctl("import-cert k --container c --spec sig --file " + scratch.File("junk.der")).exit_code, 1u);
  EXPECT_EQ(simtest::Tokenctl("import-cert k --container c --spec sig --file " + scratch.File("junk.pem")).exit_code, 1u);
  EXPECT_EQ(simtest::Tokenctl("import-cert k --container c --spec sig --file " + scratch.File("none.der")).exit_code, 1u);
  EXPECT_EQ(KeyText("k"), before);
  EXPECT_NE(before.find("Before"), std::string::npos);
}

TEST_F(Tokenctl, PemAndDerImportTheSameCertificateAndShowSummarises) {
  Ctl("create k --label \xD1\xDD\xCA\xBE");  // 演示 in the ANSI code page
  Ctl("import-cert k --container a --spec sig --file " + simtest::CertFile("ku-sig"));
  const std::string pem = simtest::CertFile("ku-sig").substr(0, simtest::CertFile("ku-sig").size() - 4) + ".pem";
  Ctl("import-cert k --container b --spec exch --file " + pem);
  Ctl("import-cert k --container s --spec sig --file " + simtest::CertFile("sm2") + " --cert-type 2");
  Ctl("insert k");
  {
    OpenKey key(api_);
    BYTE der[3072], from_pem[3072];
    ULONG der_length = sizeof der, pem_length = sizeof from_pem;
    ASSERT_EQ(api_.TK_ReadCert(key.app.get(), "a", tk::kKeySpecSignature, der, &der_length), tk::kOk);
    ASSERT_EQ(api_.TK_ReadCert(key.app.get(), "b", tk::kKeySpecExchange, from_pem, &pem_length), tk::kOk);
    ASSERT_EQ(der_length, pem_length);
    EXPECT_EQ(memcmp(der, from_pem, der_length), 0);
  }
  Ctl("fail k TK_ReadCert 0x88000008 --times 0");
  const simtest::ProcessResult shown = simtest::Tokenctl("show k");
  ASSERT_EQ(shown.exit_code, 0u);
  for (const char* part : {"演示", "Quillon Tarnex UDISK 0", "8 of 8 tries left", "PIN must be changed", "type 2",
                           "TK_ReadCert returns 0x88000008 on every call"})
    EXPECT_NE(shown.output.find(part), std::string::npos) << part << "\n" << shown.output;
  EXPECT_EQ(shown.output.find("12345678"), std::string::npos) << "a PIN must never be shown";
  EXPECT_EQ(KeyText("k").find("12345678"), std::string::npos) << "a PIN must never be stored";

  const simtest::ProcessResult listed = simtest::Tokenctl("list");
  EXPECT_NE(listed.output.find("k "), std::string::npos);
  EXPECT_NE(listed.output.find("Quillon Tarnex UDISK 0"), std::string::npos);
}
