// Who may change a folder, judged from descriptors written as SDDL (Wine keeps no
// file DACLs to read back).
#include <windows.h>
#include <sddl.h>
#include <gtest/gtest.h>

#include <string>

#include "common/folderacl.h"

namespace {

bool OnlyAdministrators(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR security = nullptr;
  bool made = ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &security, nullptr);
  EXPECT_TRUE(made) << "SDDL not read";
  bool only = made && OnlyAdministratorsCanWrite(security);
  LocalFree(security);
  return only;
}

TEST(FolderAcl, OnlyAdministratorsSystemAndTrustedInstallerMayWrite) {
  const struct {
    const wchar_t* sddl;
    bool only;
  } cases[] = {
      {L"D:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;0x1200a9;;;BU)", true},  // users may read
      {L"D:(A;;FA;;;BA)(A;OICI;0x1301bf;;;AU)", false},          // authenticated users may modify
      {L"D:(A;OICIIO;FA;;;CO)(A;;FA;;;SY)", true},               // handed down only, not the folder's own
      {L"D:P(A;;FA;;;BA)(A;OICIIO;FA;;;BU)", true},
      {L"D:P", true},             // an empty DACL lets nobody in
      {L"D:P(D;;FA;;;WD)", true},  // denying grants nothing
      {L"D:P(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)", true},
      {L"O:BA", false},                 // no DACL
      {L"O:BUD:P(A;;FA;;;BA)", false},  // an owner may rewrite the DACL
      {L"O:SYD:P(A;;FA;;;BA)(A;;0x180;;;BU)", true},  // writing attributes changes no entry
  };
  for (const auto& c : cases) EXPECT_EQ(c.only, OnlyAdministrators(c.sddl)) << c.sddl;
  // Each right that changes a folder: add a file, a subfolder, delete an entry, ...
  for (const wchar_t* right : {L"0x2", L"0x4", L"0x40", L"WD", L"WO", L"GW", L"GA"})
    EXPECT_FALSE(OnlyAdministrators(std::wstring(L"D:P(A;;FA;;;BA)(A;;") + right + L";;;BU)")) << right;
  // A null DACL lets everyone in (made by hand: Wine reads "D:NO_ACCESS_CONTROL" as an empty one).
  SECURITY_DESCRIPTOR nullDacl;
  ASSERT_TRUE(InitializeSecurityDescriptor(&nullDacl, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&nullDacl, TRUE, nullptr, FALSE));
  EXPECT_FALSE(OnlyAdministratorsCanWrite(&nullDacl));
  EXPECT_FALSE(OnlyAdministratorsCanWrite(nullptr));
}

}  // namespace
