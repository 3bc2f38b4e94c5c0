// The consumer's own header of this name: never the library's.
#error "a library header included the consumer's engine/Conversion.h"
