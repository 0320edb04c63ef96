; blink.asm - toggles an LED on RB0 of a PIC16F84A about twice a second.
;
; Assemble with MPASM:  mpasm blink.asm
        list    p=16F84A
        #include <p16F84A.inc>
        __config _XT_OSC & _WDT_OFF & _PWRTE_ON

        cblock  0x0C
            delay1
            delay2
        endc

        org     0x000
reset:  goto    main

        org     0x004
isr:    retfie                      // no interrupts are enabled

main:   bsf     STATUS, RP0         ; bank 1
        movlw   b'11111110'         ; RB0 is an output
        movwf   TRISB
        bcf     STATUS, RP0         ; back to bank 0
        clrf    PORTB

loop:   movlw   0x01
        xorwf   PORTB, f            ; toggle the LED
        call    wait
        goto    loop

/* wait: about 250 ms at 4 MHz, using two nested counters */
wait:   movlw   .250
        movwf   delay1
outer:  movlw   .200
        movwf   delay2
inner:  nop
        decfsz  delay2, f
        goto    inner
        decfsz  delay1, f
        goto    outer
        return

        end
