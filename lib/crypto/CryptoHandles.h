// The objects the crypto classes keep between calls, in the form of the platform's crypto library:
// OpenSSL contexts on Linux, CNG handles on Windows. The class headers name only these aliases, so
// the same headers serve both builds and each platform's sources see the types they work with.
#pragma once

#if defined(_WIN32)
#include "crypto/windows/CngUtil.h"
#else
#include "crypto/OpenSslUtil.h"
#endif

namespace ov::crypto {

#if defined(_WIN32)
using DigestContext = cng::HashPtr;
using MacContext = cng::HashPtr;
using CipherAlgorithm = cng::AlgorithmPtr;
using CipherContext = cng::KeyPtr;
using EcbCipher = void*;
using LibraryContext = void;
using cng::Fail;
#else
using DigestContext = ossl::MdCtxPtr;
using MacContext = ossl::MacCtxPtr;
using CipherAlgorithm = ossl::CipherPtr;
using CipherContext = ossl::CipherCtxPtr;
using EcbCipher = const EVP_CIPHER*;
using LibraryContext = OSSL_LIB_CTX;
using ossl::Fail;
#endif

}  // namespace ov::crypto
