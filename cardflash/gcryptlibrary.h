#ifndef GCRYPTLIBRARY_H
#define GCRYPTLIBRARY_H

// libgcrypt must be set up once, before its first use, by whoever comes
// first: the digests of images, manifests or files.
void initialiseGcrypt();

#endif
