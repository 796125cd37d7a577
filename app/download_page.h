// The phone application's download page, opened by the status menu's
// "Download Mobile Application" and by the welcome window's website button.
#pragma once

namespace tovelin {

inline constexpr const char* kDownloadPageAddress = "https://tovelin.example/#download";

}  // namespace tovelin
