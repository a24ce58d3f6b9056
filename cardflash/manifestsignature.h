#ifndef MANIFESTSIGNATURE_H
#define MANIFESTSIGNATURE_H

#include <cstddef>
#include <string>
#include <vector>

// Ed25519 keys and signatures in the forms the firmware team's openssl
// writes: PEM keys (`openssl pkey -pubout` for public keys, PKCS#8 for
// private ones) and raw 64-byte signatures (`openssl pkeyutl -sign -rawin`).
// Keys cross these functions as their raw bytes: 32 for a public key, the
// 32-byte seed for a private one. Signing and verifying go through
// libsodium: one call that takes the message whole with a 64-bit length and
// the key and signature as fixed-size bytes, with nothing parsed or wrapped
// on the way, from a small library without dependencies of its own.

constexpr std::size_t kEd25519KeySize = 32;
constexpr std::size_t kEd25519SignatureSize = 64;

// Padded base64; white space anywhere is skipped. False for anything else.
[[nodiscard]] bool decodeBase64(const std::string& text, std::string& bytes);

// Every public key of a PEM text. False, with no key, unless the text holds
// at least one block and every block is an Ed25519 public key, with nothing
// but white space around them.
[[nodiscard]] bool readEd25519PublicKeys(const std::string& pemText, std::vector<std::string>& keys);

// The seed of a PEM text that holds exactly one Ed25519 private key.
[[nodiscard]] bool readEd25519PrivateKey(const std::string& pemText, std::string& seed);

[[nodiscard]] bool verifyEd25519(const std::string& publicKey, const std::string& message,
                   const std::string& signature);
[[nodiscard]] bool anyKeyVerifies(const std::vector<std::string>& publicKeys, const std::string& message,
                    const std::string& signature);

[[nodiscard]] bool signEd25519(const std::string& seed, const std::string& message, std::string& signature);

#endif
