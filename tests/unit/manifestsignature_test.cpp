#include "manifestsignature.h"

#include <utility>
#include <vector>

#include "table.h"

const auto Pem = [](const Str& label, const Str& body) {
    return "-----BEGIN " + label + "-----\n" + body + "\n-----END " + label + "-----\n";
};
// RFC 8032, test 1: a key pair and its signature of the empty message.
const Str kPub = Pem("PUBLIC KEY", "MCowBQYDK2VwAyEA11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=");
const Str kPriv =
    Pem("PRIVATE KEY", "MC4CAQAwBQYDK2VwBCIEIJ1hsZ3v/VpguoRK9JLsLMREScVpezJpGXA7rAMcrn9g");
const Str kSig =
    "5VZDAMNgrHKQhuLMgG6CioSHfx645dl02HPgZSJJAVVfuIIVkKM7rMYeOXAc+bRr0lv18FlbviRlUUFDjnoQCw==";

TEST(ManifestSignature, OnlyWellFormedEd25519KeysVerifyAndSigningMatchesTheStandard)
{
    std::vector<Str> keys, o{"x"};
    Str seed, sig, mSig, b, rfc;
    // The keys read, or 9 more than the keys left after a refusal.
    const auto K = [&o](Str p) { return readEd25519PublicKeys(p, o) ? o.size() : 9 + o.size(); };
    const auto B64 = [&b](const Str& text) { return J(decodeBase64(text, b), b); };
    ASSERT_TRUE(readEd25519PublicKeys(kPub, keys) && readEd25519PrivateKey(kPriv, seed) &&
                signEd25519(seed, "", sig) && signEd25519(seed, "manifest", mSig) &&
                decodeBase64(kSig, rfc));
    const Str k = keys.at(0), flipped = sig.substr(0, 9) + char(sig[9] ^ 1) + sig.substr(10);
    Check(
        {ROW("2 9 9 9 9", K(kPub + "\n\n" + kPub), K(kPriv), K("#\n" + kPub),
             K(kPub.substr(0, 40) + kPub.substr(41)), K(kPub.substr(0, 90))),
         ROW("0", readEd25519PrivateKey(kPub, b) || readEd25519PrivateKey("", b)),
         ROW(" 1 ABC  1 A  1   0   0   0   0   0 ", B64("QUJD"), B64(" Q\r\nQ = = "), B64(""),
             B64("QQ="), B64("QQ=A"), B64("Q==="), B64("Q!=="), B64("QQ\0=="s)),
         ROW("1 1 1 0 0", sig == rfc, verifyEd25519(k, "", sig), verifyEd25519(k, "manifest", mSig),
             verifyEd25519(k, "manifesT", mSig), verifyEd25519(k, "", flipped)),
         ROW("0 0 1 0 0", verifyEd25519(k, "", sig.substr(1)), verifyEd25519(k + "x", "", sig),
             anyKeyVerifies({Str(32, '\1'), k}, "", sig), anyKeyVerifies({Str(32, '\1')}, "", sig),
             signEd25519(seed.substr(1), "", b))});
}

// Signatures that openssl pkeyutl -sign -rawin made with the key above, of
// messages of these sizes whose byte i is i * 131 mod 256 (size 0: RFC 8032).
TEST(ManifestSignature, EveryByteOfAMessageOfAnySizeIsSigned)
{
    const std::pair<std::size_t, Str> table[] = {
        {0, kSig},
        {1, "+2ZlqOJ4oNaoBFC5XUxO9+S8eGlNt2bhbIt1T4WJ4fOzlwnn1xT4FzAjz31PRjMLIWy/"
            "TpUnSyK71hJaoUyPCg=="},
        {65535, "92WLEkQbBIerBCW5RW2Xg+07kNREoMQEi0qJqFCsmNe2pcCQPrEKFxpw/"
                "9wrHS00gRSBK5qJq78IYneDnN6gAQ=="},
        {65536, "GaufdnZgaH0q3FtpwE4ZF80E5uBwnnV0CYoWA3FkDHi5/zH96RYc9nXIgiXLcKNDVVcIql/"
                "1VSyfok1JKgVpBw=="},
        {65537, "qpyhmATNQC9Si+fxkgLYD0vE1KRi4G1fXluFKPFOjBm/vam0AQtkq+a76TkjJ1M14/"
                "RyUzwu1tt7xkreFWIGCQ=="},
        {200000, "zIKlFe4qncDEgs3Eaub/ClZA/laFZ20mKaFc99dV/"
                 "p9VO3evXCQJPhiBE4jOvWWtdAfFRS43X60oW6c60AFUBA=="}};
    std::vector<Str> keys;
    Str seed, ours, theirs;
    ASSERT_TRUE(readEd25519PublicKeys(kPub, keys) && readEd25519PrivateKey(kPriv, seed));
    for (const auto& [size, base64] : table) {
        Str message(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            message[i] = static_cast<char>((i * 131) & 0xff);
        }
        SCOPED_TRACE(size);
        const Str k = keys.at(0), longer = message + Str(65536, '#');
        const Str changedLast =
            size == 0 ? "x" : message.substr(0, size - 1) + char(~message.back());
        ASSERT_TRUE(decodeBase64(base64, theirs) && signEd25519(seed, message, ours));
        Check({ROW("1 1 0 0 0 0", ours == theirs, verifyEd25519(k, message, theirs),
                   verifyEd25519(k, message + "x", ours), verifyEd25519(k, longer, ours),
                   verifyEd25519(k, changedLast, ours),
                   size > 0 && verifyEd25519(k, message.substr(1), ours))});
    }
}
