; serial.asm - 8051 echo program: every byte received on the UART is sent back.
$MOD51
        CSEG    AT 0000H
        LJMP    START

        CSEG    AT 0023H            ; serial interrupt vector
        LJMP    SERIAL_ISR

        CSEG    AT 0100H
START:  MOV     SP, #5FH            ; stack above the register banks
        MOV     TMOD, #20H          ; timer 1, mode 2: auto-reload
        MOV     TH1, #0FDH          ; 9600 baud at 11.0592 MHz
        MOV     SCON, #50H          ; mode 1, receiver on
        SETB    TR1
        SETB    ES
        SETB    EA
IDLE:   SJMP    IDLE

SERIAL_ISR:
        JNB     RI, DONE
        CLR     RI
        MOV     A, SBUF
        CJNE    A, #'q', ECHO       ; 'q' stops the echo
        CLR     ES
        SJMP    DONE
ECHO:   MOV     SBUF, A
WAIT:   JNB     TI, WAIT
        CLR     TI
DONE:   RETI

MESSAGE: DB     "Echo ready", 0DH, 0AH, 0
        END
