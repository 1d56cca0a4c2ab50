# SPDX-License-Identifier: GPL-3.0-or-later
# Builds sketches for an Arduino Uno (ATmega328P, 16 MHz) with avr-gcc and
# Debian's Arduino core, as the Arduino IDE would, without the IDE.
#   make -f uno.mk BUILD=DIR DIR/core.a      the core, once
#   make -f uno.mk BUILD=DIR SKETCH.elf      a sketch (SKETCH.ino beside it)
CORE ?= /usr/share/arduino/hardware/arduino/avr
BUILD ?= build
MCU := atmega328p
# Debian's core takes DECIMAL_DIG from C++17, which this compiler lacks.
DEFINES := -mmcu=$(MCU) -DF_CPU=16000000L -DARDUINO=10807 -DARDUINO_AVR_UNO -DARDUINO_ARCH_AVR \
           -DDECIMAL_DIG=__DECIMAL_DIG__ -I$(CORE)/cores/arduino -I$(CORE)/variants/standard
CFLAGS := -Os -w -std=gnu11 -ffunction-sections -fdata-sections -flto -fno-fat-lto-objects $(DEFINES)
CXXFLAGS := -Os -std=gnu++11 -fpermissive -fno-exceptions -ffunction-sections -fdata-sections \
            -fno-threadsafe-statics -flto $(DEFINES)
CORE_SOURCES := $(wildcard $(CORE)/cores/arduino/*.c $(CORE)/cores/arduino/*.cpp $(CORE)/cores/arduino/*.S)
CORE_OBJECTS := $(patsubst $(CORE)/cores/arduino/%,$(BUILD)/core/%.o,$(CORE_SOURCES))

$(BUILD)/core.a: $(CORE_OBJECTS)
	avr-gcc-ar rcs $@ $^

$(BUILD)/core/%.c.o: $(CORE)/cores/arduino/%.c
	@mkdir -p $(dir $@)
	avr-gcc -c $(CFLAGS) $< -o $@

$(BUILD)/core/%.cpp.o: $(CORE)/cores/arduino/%.cpp
	@mkdir -p $(dir $@)
	avr-g++ -c -w $(CXXFLAGS) $< -o $@

$(BUILD)/core/%.S.o: $(CORE)/cores/arduino/%.S
	@mkdir -p $(dir $@)
	avr-gcc -c -x assembler-with-cpp -flto $(DEFINES) $< -o $@

# The sketch itself with every warning, as errors.
%.elf: %.ino $(BUILD)/core.a
	avr-g++ -c -Wall -Wextra -Werror $(CXXFLAGS) -x c++ $< -o $*.o
	avr-gcc -Os -w -flto -fuse-linker-plugin -Wl,--gc-sections -mmcu=$(MCU) -o $@ $*.o $(BUILD)/core.a -lm
