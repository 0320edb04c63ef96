#ifndef CONFIG_H
#define CONFIG_H

/* Build-time settings of the controller firmware. */
#define CLOCK_HZ        11059200UL
#define BAUD_RATE       9600
#define TIMER_RELOAD    (256 - (CLOCK_HZ / 384 / BAUD_RATE))
#define VERSION         "1.4.2"
#define DEBUG_CHAR      'D'

#if defined(__GNUC__) && __GNUC__ >= 4
#  define UNUSED __attribute__((unused))
#else
#  define UNUSED
#endif

enum mode { MODE_IDLE = 0, MODE_RUN = 0x10, MODE_FAULT = 0x20 };

extern volatile unsigned char g_mode;
extern const float g_scale;     /* 1.5e-3 per count */

#endif /* CONFIG_H */
