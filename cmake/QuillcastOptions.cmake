# One INTERFACE target carries the language level, warnings, Qt string hygiene and
# sanitizers; every target of the project links it.
add_library(quillcast_options INTERFACE)
target_compile_features(quillcast_options INTERFACE cxx_std_20)
target_compile_definitions(quillcast_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_USE_QSTRINGBUILDER
    QT_NO_KEYWORDS
    QUILLCAST_RELEASE="${QUILLCAST_RELEASE}")
target_compile_options(quillcast_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)

if(QUILLCAST_SANITIZE)
    target_compile_options(quillcast_options INTERFACE
        -fsanitize=${QUILLCAST_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(quillcast_options INTERFACE -fsanitize=${QUILLCAST_SANITIZE})
endif()

# Every test program links the whole core with its debug information; compressed,
# the test builds take a quarter of the disk and still symbolise every stack.
target_link_options(quillcast_options INTERFACE -Wl,--compress-debug-sections=zlib)
