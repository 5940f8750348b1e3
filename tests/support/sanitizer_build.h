// Whether this build runs under a sanitizer: its runtime reserves terabytes
// of address space and needs a deep stack, so address-space and stack limits
// test the sanitizer, not the tool.
#ifndef PHOTOCHECK_TESTS_SUPPORT_SANITIZER_BUILD_H
#define PHOTOCHECK_TESTS_SUPPORT_SANITIZER_BUILD_H

namespace testsupport {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace testsupport

#endif  // PHOTOCHECK_TESTS_SUPPORT_SANITIZER_BUILD_H
