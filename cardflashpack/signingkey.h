#ifndef SIGNINGKEY_H
#define SIGNINGKEY_H

#include <string>
#include <vector>

// The Ed25519 private key of a PEM file as `openssl genpkey -algorithm
// ed25519` writes it. False, with the reason in `error`, for anything else.
bool readSigningKey(const std::string& keyFile, std::string& seed, std::string& error);

// The Ed25519 public keys of a PEM file as `openssl pkey -pubout` writes
// them (one or more), which the unit trusts. False, with the reason in
// `error`, for anything else.
bool readTrustedKeys(const std::string& keyFile, std::vector<std::string>& keys,
                     std::string& error);

// The raw 64-byte signature that the unit checks the manifest's bytes with.
bool signManifest(const std::string& seed, const std::string& manifest, std::string& signature,
                  std::string& error);

#endif
