// The control's certificate methods: which certificate the walk finds and
// how each field is written.
#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>

#include "kestrine_test_base.h"

namespace {

std::string Field(IKestrine* control, HRESULT (STDMETHODCALLTYPE IKestrine::*method)(BSTR*), HRESULT* hr = nullptr) {
  Text text;
  const HRESULT result = (control->*method)(text.put());
  if (hr) *hr = result;
  return text.null() ? "<null>" : text.ansi();
}

}  // namespace

class CertFields : public KestrineTest {
 protected:
  void Import(const std::string& container, const char* spec, const std::string& cert) {
    Ctl("import-cert k --container " + container + " --spec " + spec + " --file " + simtest::CertFile(cert));
  }
  std::string Name() { return Field(control_.get(), &IKestrine::esKeyGetCertCN); }
};

TEST_F(CertFields, SignatureCertificateOfTheFirstContainerWins) {
  CreateInserted("k");
  Import("c1", "exch", "ku-nr");
  Import("c1", "sig", "ku-sig");
  Import("c2", "sig", "serial-01a20f");
  EXPECT_EQ(Name(), "Test User Sig");
  EXPECT_EQ(Field(control_.get(), &IKestrine::GetCertDN), "Test User Sig");
  ExpectNoOpenHandles();
}

TEST_F(CertFields, ExchangeOnlyFirstContainerYieldsItsCertificate) {
  CreateInserted("k");
  Import("c1", "exch", "ku-nr");
  Import("c2", "sig", "ku-sig");
  EXPECT_EQ(Name(), "Test User NR");
  ExpectNoOpenHandles();
}

TEST_F(CertFields, EmptyFirstContainerLeadsToTheSecond) {
  CreateInserted("k");
  Ctl("add-container k --container empty");
  Import("c2", "sig", "serial-01a20f");
  HRESULT hr = E_FAIL;
  EXPECT_EQ(Field(control_.get(), &IKestrine::GetCertSn, &hr), "01A20F");
  EXPECT_EQ(hr, S_OK);
  ExpectNoOpenHandles();
}

TEST_F(CertFields, NoCertificateAtAll) {
  CreateInserted("k");
  // No container: nothing was read and nothing failed.
  HRESULT hr = E_FAIL;
  EXPECT_EQ(Field(control_.get(), &IKestrine::esKeyGetCertCN, &hr), "<null>");
  EXPECT_EQ(hr, S_OK);
  for (auto method : {&IKestrine::GetCertDN, &IKestrine::GetCertSn, &IKestrine::GetCertBeginDate,
                      &IKestrine::GetCertEndDate}) {
    EXPECT_EQ(Field(control_.get(), method, &hr), "<null>");
    EXPECT_EQ(hr, S_FALSE);
  }
  // Containers without certificates: the last read failed.
  Ctl("add-container k --container a");
  Field(control_.get(), &IKestrine::esKeyGetCertCN, &hr);
  EXPECT_EQ(hr, S_FALSE);
  LONG error = 0;
  control_->esgetErrorCode(&error);
  EXPECT_EQ(error, 0);  // none of these writes the error value
  ExpectNoOpenHandles();
}

TEST_F(CertFields, BytesThatDoNotDecode) {
  CreateInserted("k");
  Import("c1", "sig", "ku-sig");
  // Replace the certificate in the key file with bytes that are no certificate.
  const std::string file = keys_.path() + "\\k.json";
  std::string json;
  ASSERT_TRUE(simtest::ReadFileBytes(file, json));
  const std::size_t at = json.find("\"signatureCert\":");
  ASSERT_NE(at, std::string::npos);
  const std::size_t open = json.find('"', at + 16), close = json.find('"', open + 1);
  json.replace(open + 1, close - open - 1, "300100");
  ASSERT_TRUE(simtest::WriteFileBytes(file, json));

  HRESULT hr = E_FAIL;
  EXPECT_EQ(Field(control_.get(), &IKestrine::esKeyGetCertCN, &hr), "<null>");
  EXPECT_EQ(hr, S_OK);
  Field(control_.get(), &IKestrine::GetCertDN, &hr);
  EXPECT_EQ(hr, S_FALSE);
  Field(control_.get(), &IKestrine::GetCertEndDate, &hr);
  EXPECT_EQ(hr, S_FALSE);
  ExpectNoOpenHandles();
}

TEST_F(CertFields, SubjectWithoutCommonNameGivesTheSameTextTwice) {
  CreateInserted("k");
  Import("c1", "sig", "no-cn");
  const std::string name = Name();
  EXPECT_EQ(name, "Retail Banking");  // the organisational unit
  EXPECT_EQ(Field(control_.get(), &IKestrine::GetCertDN), name);
}

TEST_F(CertFields, ReadFailureOnTheKeyIsNotAConnectionError) {
  CreateInserted("k");
  Import("c1", "sig", "ku-sig");
  Ctl("fail k TK_ReadCert 0x88000008 --times 0");
  HRESULT hr = S_OK;
  Field(control_.get(), &IKestrine::GetCertSn, &hr);
  EXPECT_EQ(hr, S_FALSE);
  Field(control_.get(), &IKestrine::esKeyGetCertCN, &hr);
  EXPECT_EQ(hr, S_FALSE);
  LONG error = 0;
  control_->esgetErrorCode(&error);
  EXPECT_EQ(error, 0);
  ExpectNoOpenHandles();
}

TEST_F(CertFields, ConnectionFailureGives1002) {
  HRESULT hr = S_OK;
  Field(control_.get(), &IKestrine::GetCertBeginDate, &hr);
  EXPECT_EQ(hr, S_FALSE);
  EXPECT_EQ(LastError(), 1002);
}

// Dates are the local date at the machine's current offset. The test
// program runs at UTC+8; CTest runs this test once more at UTC-5, where the
// local date is a day earlier (KESTRINE_EXPECT_BEGIN says so).
TEST_F(CertFields, BeginDateIsTheLocalDate) {
  CreateInserted("k");
  Import("c1", "sig", "begin-20190105");
  const char* expected = std::getenv("KESTRINE_EXPECT_BEGIN");
  EXPECT_EQ(Field(control_.get(), &IKestrine::GetCertBeginDate), expected ? expected : "2019-1-5");
  const std::string end = Field(control_.get(), &IKestrine::GetCertEndDate);
  EXPECT_NE(end.find('-'), std::string::npos);
  EXPECT_EQ(end.find("-0"), std::string::npos);  // no leading zeros
}

// A self-signed certificate whose common name is longer than the control's
// 1024-byte name buffer.
TEST_F(CertFields, OverlongNameIsCutToTheBuffer) {
  const std::string long_name(1200, 'N');
  const std::string x500 = "CN=" + long_name;
  DWORD size = 0;
  ASSERT_TRUE(CertStrToNameA(X509_ASN_ENCODING, x500.c_str(), CERT_X500_NAME_STR, nullptr, nullptr, &size, nullptr));
  std::string encoded(size, '\0');
  ASSERT_TRUE(CertStrToNameA(X509_ASN_ENCODING, x500.c_str(), CERT_X500_NAME_STR, nullptr,
                             reinterpret_cast<BYTE*>(encoded.data()), &size, nullptr));
  CERT_NAME_BLOB subject{size, reinterpret_cast<BYTE*>(encoded.data())};
  PCCERT_CONTEXT cert = CertCreateSelfSignCertificate(0, &subject, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(cert, nullptr) << GetLastError();
  const std::string der(reinterpret_cast<const char*>(cert->pbCertEncoded), cert->cbCertEncoded);
  CertFreeCertificateContext(cert);
  ASSERT_LE(der.size(), 3072u);
  simtest::TempFolder folder("longname");
  ASSERT_TRUE(simtest::WriteFileBytes(folder.File("long.der"), der));

  CreateInserted("k");
  Ctl("import-cert k --container c --spec sig --file " + folder.File("long.der"));
  EXPECT_EQ(Name(), long_name.substr(0, 1023));
  EXPECT_EQ(Field(control_.get(), &IKestrine::GetCertDN), long_name.substr(0, 1023));
}
