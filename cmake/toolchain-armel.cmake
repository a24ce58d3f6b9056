# Cross build for the unit's processor, an ARM926EJ-S (ARMv5TE, soft float):
# Debian's armel port with its crossbuild-essential-armel compilers, against
# a sysroot made by scripts/make-armel-sysroot.
#
#   cmake -S . -B build-armel -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armel.cmake \
#     -DCARDFLASH_ARMEL_SYSROOT=$(scripts/make-armel-sysroot)
#
# Programs built here run on the build machine through qemu-user (tests,
# gtest discovery). Each run gets a PID namespace of its own: a program that
# goes wrong under qemu-user as root can end up signalling pid -1, and inside
# the namespace that reaches nothing beyond the program itself. The namespace
# gets its own /proc, so that /proc/<pid> names the namespace's processes.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv5te)
set(CARDFLASH_ARMEL_TRIPLET arm-linux-gnueabi)

if(NOT CARDFLASH_ARMEL_SYSROOT)
  set(CARDFLASH_ARMEL_SYSROOT "$ENV{CARDFLASH_ARMEL_SYSROOT}")
endif()
if(NOT IS_DIRECTORY "${CARDFLASH_ARMEL_SYSROOT}/usr/lib/${CARDFLASH_ARMEL_TRIPLET}")
  message(FATAL_ERROR "CARDFLASH_ARMEL_SYSROOT must name an armel sysroot "
                      "(made by scripts/make-armel-sysroot), got '${CARDFLASH_ARMEL_SYSROOT}'")
endif()
set(CARDFLASH_ARMEL_SYSROOT "${CARDFLASH_ARMEL_SYSROOT}" CACHE PATH "armel sysroot" FORCE)
# try_compile projects read this file again and need the sysroot too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CARDFLASH_ARMEL_SYSROOT)

set(CMAKE_C_COMPILER ${CARDFLASH_ARMEL_TRIPLET}-gcc)
# Everything is built by this one compiler: its note that GCC 7.1 changed
# how some arguments are passed on ARM concerns nothing here.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
set(CMAKE_CXX_COMPILER ${CARDFLASH_ARMEL_TRIPLET}-g++)
set(CMAKE_SYSROOT "${CARDFLASH_ARMEL_SYSROOT}")

set(CMAKE_FIND_ROOT_PATH "${CARDFLASH_ARMEL_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads only the sysroot's .pc files and prefixes their paths.
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${CARDFLASH_ARMEL_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR}
    "${CARDFLASH_ARMEL_SYSROOT}/usr/lib/${CARDFLASH_ARMEL_TRIPLET}/pkgconfig:${CARDFLASH_ARMEL_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

find_program(CARDFLASH_QEMU_ARM qemu-arm REQUIRED)
find_program(CARDFLASH_UNSHARE unshare REQUIRED)
# Without root, a user namespace grants the right to make the PID namespace.
execute_process(COMMAND id -u OUTPUT_VARIABLE CARDFLASH_UID OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT CARDFLASH_UID STREQUAL "0")
  set(CARDFLASH_USERNS --user --map-root-user)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CARDFLASH_UNSHARE} ${CARDFLASH_USERNS} --pid --fork --kill-child --mount-proc
    ${CARDFLASH_QEMU_ARM} -cpu arm926 -L ${CARDFLASH_ARMEL_SYSROOT})

# The sysroot's Qt 5 names its own armel moc/uic/rcc; the build machine's
# tools of the same Qt release generate the same code and run natively.
set(CARDFLASH_QT5_HOST_BINDIR /usr/lib/qt5/bin CACHE PATH "Host moc/uic/rcc of Qt 5")
foreach(tool moc uic rcc)
  if(NOT TARGET Qt5::${tool} AND EXISTS ${CARDFLASH_QT5_HOST_BINDIR}/${tool})
    add_executable(Qt5::${tool} IMPORTED GLOBAL)
    set_target_properties(Qt5::${tool} PROPERTIES IMPORTED_LOCATION ${CARDFLASH_QT5_HOST_BINDIR}/${tool})
  endif()
endforeach()
