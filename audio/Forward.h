#pragma once

// Declarations of the engine's components, for headers that only hold
// pointers to them.
class TAudioMixer;
class TAuFileIn;
class TAuFileOut;
class TAuInput;
class TAuOutput;
class TMP3In;
class TMP3Out;
class TMP3LosslessOut;
class TMediaPlayer;
class TWaveIn;
class TWaveOut;
class TWMIn;
class TWMAOut;
