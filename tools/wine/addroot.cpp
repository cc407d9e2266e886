// Puts a certificate authority (a PEM or DER file) into the machine's trusted root store of
// a Wine prefix, as an administrator would on Windows. For the Windows test stage only.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: addroot CERTIFICATE\n", stderr);
        return 2;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    std::vector<BYTE> bytes(1 << 20);
    DWORD size = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &size, nullptr);
    CloseHandle(file);
    // PEM to DER where needed.
    DWORD der = 0;
    std::vector<BYTE> decoded;
    if (CryptStringToBinaryA(reinterpret_cast<const char*>(bytes.data()), size, CRYPT_STRING_BASE64HEADER, nullptr,
                             &der, nullptr, nullptr)) {
        decoded.resize(der);
        CryptStringToBinaryA(reinterpret_cast<const char*>(bytes.data()), size, CRYPT_STRING_BASE64HEADER,
                             decoded.data(), &der, nullptr, nullptr);
    } else {
        decoded.assign(bytes.begin(), bytes.begin() + size);
        der = size;
    }
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!root)
        return 1;
    const BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, decoded.data(), der,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(root, 0);
    return added ? 0 : 1;
}
