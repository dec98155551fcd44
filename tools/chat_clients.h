/* The three chat clients' window class names, as code page 932 bytes, for
 * the programs that stand in for them or look for them: the stand-in, the
 * demo, the tests and the benchmarks. The program keeps its own copy in its
 * target table on purpose, so that a wrong byte there shows up as a client
 * the tests' stand-in never hears from. */
#ifndef LUMAQUILL_CHAT_CLIENTS_H
#define LUMAQUILL_CHAT_CLIENTS_H

static const char *const kChatClientClasses[3] = {
    "J-\x83\x60\x83\x83\x83\x62\x83\x67",                 /* Ｊチャット */
    ("\x83\x54\x83\x93\x83\x8A\x83\x49\x81\x40\x83\x60\x83\x62"
     "\x83\x67\x81\x45\x83\x60\x83\x83\x83\x62\x83\x67"), /* サンリオ チットチャット */
    "gracevil",                                          /* HabitatⅡVer2 */
};

#endif
