# Compiler warnings, set on each target in the spelling of the compiler that builds it,
# so the project configures alike with GCC, Clang and MSVC.
#
# PDS_DEPRECATED_AS_ERRORS turns the use of anything Qt marks deprecated into an error;
# the build against the newest Qt we support turns it on.
option(PDS_DEPRECATED_AS_ERRORS "Treat uses of deprecated Qt API as errors" OFF)

function(pds_set_warnings target)
    target_compile_options(${target} PRIVATE
        $<$<OR:$<CXX_COMPILER_ID:GNU>,$<CXX_COMPILER_ID:Clang>,$<CXX_COMPILER_ID:AppleClang>>:-Wall -Wextra>
        $<$<CXX_COMPILER_ID:MSVC>:/W4>)
    if(PDS_DEPRECATED_AS_ERRORS)
        target_compile_options(${target} PRIVATE
            $<$<OR:$<CXX_COMPILER_ID:GNU>,$<CXX_COMPILER_ID:Clang>,$<CXX_COMPILER_ID:AppleClang>>:-Werror=deprecated-declarations>
            $<$<CXX_COMPILER_ID:MSVC>:/we4996>)
    endif()
endfunction()
