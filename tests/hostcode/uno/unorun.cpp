// SPDX-License-Identifier: GPL-3.0-or-later
// An Arduino Uno (ATmega328P at 16 MHz) in simavr running a sketch's ELF,
// its serial port joined to a pseudo-terminal by simavr's uart_pty part. It
// prints the terminal's device, waits for a line on its input (the test has
// joined the terminal to a board by then) and runs the sketch until its LED
// pin turns to an output: the sketch's send is over, and the LED says how it
// went.
//   varnix_unorun SKETCH.elf [SECONDS]
// Exit: 0 LED off, 1 LED on (and the line and the answer the send ended at
// are said), 3 not over within SECONDS (default 60), 4 the ELF could not be
// loaded or the chip crashed.
//
// simavr runs the chip as fast as it can and the sketch counts its delays
// in simulated cycles, while the board reads the pauses in real time: so
// the simulated clock is never let run ahead of the wall clock, nor race to
// catch up with it when the machine held it back.
extern "C" {
#include "avr_uart.h"
#include "sim_avr.h"
#include "sim_elf.h"
#include "uart_pty.h"
}

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

namespace {

constexpr unsigned kFrequency = 16'000'000;
// I/O registers of the LED's pin (port B, bit 5) in data memory.
constexpr int kDdrb = 0x24;
constexpr int kPortb = 0x25;
constexpr unsigned char kLed = 1 << 5;
// After the send, time enough for the serial port's buffer to empty.
constexpr avr_cycle_count_t kDrainCycles = kFrequency / 10;
// How far the simulated clock may run ahead before it waits.
constexpr avr_cycle_count_t kAheadCycles = kFrequency / 1000;
// Where the linker puts data memory in an AVR's ELF.
constexpr uint32_t kDataOffset = 0x800000;

// The cycles at which the sketch's serial port sent its first byte and its
// last: how long the send took in the chip's own time.
struct Sent {
    avr_t* avr = nullptr;
    avr_cycle_count_t first = 0;
    avr_cycle_count_t last = 0;
    long bytes = 0;
};

void byteSent(avr_irq_t*, uint32_t, void* param)
{
    auto* sent = static_cast<Sent*>(param);
    if (sent->bytes++ == 0)
        sent->first = sent->avr->cycle;
    sent->last = sent->avr->cycle;
}

// Where a variable of the sketch lies in the chip's data memory; null when
// the sketch has none of that name.
const unsigned char* symbolData(const elf_firmware_t& firmware, avr_t* avr, const char* name)
{
    for (uint32_t i = 0; i < firmware.symbolcount; ++i) {
        const avr_symbol_t* symbol = firmware.symbol[i];
        if (std::strcmp(symbol->symbol, name) == 0 && symbol->addr >= kDataOffset)
            return avr->data + (symbol->addr - kDataOffset);
    }
    return nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SKETCH.elf [SECONDS]\n", argv[0]);
        return 4;
    }
    const double limitSeconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    elf_firmware_t firmware{};
    if (elf_read_firmware(argv[1], &firmware) != 0) {
        std::fprintf(stderr, "%s: not an ELF simavr can load\n", argv[1]);
        return 4;
    }
    avr_t* avr = avr_make_mcu_by_name("atmega328p");
    if (!avr || avr_init(avr) != 0)
        return 4;
    avr->frequency = kFrequency;
    avr_load_firmware(avr, &firmware);
    static uart_pty_t pty;
    uart_pty_init(avr, &pty);
    uart_pty_connect(&pty, '0');
    // Not slowed down while the sketch waits for its port.
    uint32_t flags = 0;
    avr_ioctl(avr, AVR_IOCTL_UART_GET_FLAGS('0'), &flags);
    flags &= ~uint32_t(AVR_UART_FLAG_POLL_SLEEP);
    avr_ioctl(avr, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);
    Sent sent;
    sent.avr = avr;
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT), byteSent, &sent);
    std::printf("uart %s\n", pty.port[0].slavename);
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);

    using Clock = std::chrono::steady_clock;
    const auto began = Clock::now();
    auto start = began;
    avr_cycle_count_t nextLook = 0;
    avr_cycle_count_t doneAt = 0;
    int code = 3;
    for (;;) {
        const int state = avr_run(avr);
        if (state == cpu_Done || state == cpu_Crashed) {
            code = state == cpu_Crashed ? 4 : code;
            break;
        }
        if (!doneAt && (avr->data[kDdrb] & kLed))
            doneAt = avr->cycle;
        // The LED is lit after its pin is made an output: read it later.
        if (doneAt && avr->cycle - doneAt > kDrainCycles) {
            code = (avr->data[kPortb] & kLed) ? 1 : 0;
            break;
        }
        if (avr->cycle < nextLook)
            continue;
        nextLook = avr->cycle + kAheadCycles;
        const auto simulated = std::chrono::nanoseconds(avr->cycle * 1000 / (kFrequency / 1'000'000));
        const auto wall = Clock::now() - start;
        if (simulated > wall + std::chrono::milliseconds(1))
            std::this_thread::sleep_for(simulated - wall);
        // Fallen behind (the machine is busy): go on from here rather than
        // catch up, which would shorten the pauses that follow.
        if (wall > simulated + std::chrono::milliseconds(2))
            start += wall - simulated;
        if (Clock::now() - began > std::chrono::duration<double>(limitSeconds))
            break;
    }
    // Time for uart_pty's thread to hand on what the sketch wrote last. Its
    // thread ends with the process: uart_pty_stop() would end it by a SIGINT,
    // which ends the process before it can tell its exit code.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::fprintf(stderr, "unorun: %.3f s simulated in %.3f s; %ld bytes sent in %.3f s simulated\n",
                 double(avr->cycle) / kFrequency, std::chrono::duration<double>(Clock::now() - began).count(),
                 sent.bytes, double(sent.last - sent.first) / kFrequency);
    // Where a send that failed ended, as the sketch keeps it for its own
    // code: the script's line and the board's error line.
    if (code == 1) {
        const unsigned char* line = symbolData(firmware, avr, "varnix_line");
        const unsigned char* answer = symbolData(firmware, avr, "varnix_answer");
        if (line && answer)
            std::fprintf(stderr, "unorun: line %d: \"%.48s\"\n", line[0] | line[1] << 8,
                         reinterpret_cast<const char*>(answer));
    }
    return code;
}
