/* A complete program on libselvana: speaks a text into a WAV file and prints
 * where each word starts.
 *
 *   cc speak.c $(pkg-config --cflags --libs selvana) -o speak
 *   ./speak out.wav "Bom dia! Como vai você?"
 *
 * The voice is the installed one, or $SELVANA_VOICE_DIR. */
#include <selvana/selvana.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct output {
  FILE* file;
  unsigned long samples;
  int rate;
  const char* text;
};

static void put32(unsigned char* p, unsigned long v) {
  p[0] = (unsigned char)(v & 0xff);
  p[1] = (unsigned char)((v >> 8) & 0xff);
  p[2] = (unsigned char)((v >> 16) & 0xff);
  p[3] = (unsigned char)((v >> 24) & 0xff);
}

/* The 44-byte header of a 16-bit mono WAV file. */
static void wav_header(unsigned char* h, int rate, unsigned long samples) {
  memcpy(h, "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\0\0\0\0\0\0\0\0\x02\0\x10\0data\0\0\0\0", 44);
  put32(h + 4, 36 + 2 * samples);
  put32(h + 24, (unsigned long)rate);
  put32(h + 28, 2ul * (unsigned long)rate);
  put32(h + 40, 2 * samples);
}

/* Called with each chunk of audio (about 20 ms) and its events. */
static int on_audio(const int16_t* samples, size_t count, const selvana_event* events, size_t event_count,
                    void* user_data) {
  struct output* out = user_data;
  size_t i;
  for (i = 0; i < event_count; ++i) {
    if (events[i].type == SELVANA_EVENT_WORD)
      printf("%8.3f s  %.*s\n", (double)events[i].sample / out->rate, (int)events[i].text_length,
             out->text + events[i].text_offset);
  }
  for (i = 0; i < count; ++i) {
    unsigned char b[2];
    b[0] = (unsigned char)(samples[i] & 0xff);
    b[1] = (unsigned char)(((uint16_t)samples[i] >> 8) & 0xff);
    if (fwrite(b, 1, 2, out->file) != 2) return 1; /* non-zero stops the synthesis */
  }
  out->samples += count;
  return 0;
}

int main(int argc, char** argv) {
  char message[512];
  selvana_engine* engine = NULL;
  struct output out;
  unsigned char header[44];
  selvana_status status;

  if (argc != 3) {
    fprintf(stderr, "usage: %s OUT.wav TEXT\n", argv[0]);
    return 2;
  }
  status = selvana_open(NULL, NULL, &engine, message, sizeof message);
  if (status != SELVANA_OK) {
    fprintf(stderr, "speak: %s: %s\n", selvana_status_name(status), message);
    return 1;
  }
  printf("libselvana %s, %d Hz\n", selvana_version(), selvana_sample_rate(engine));
  selvana_set_param(engine, SELVANA_PARAM_RATE, 1.1);

  out.file = fopen(argv[1], "wb");
  out.samples = 0;
  out.rate = selvana_sample_rate(engine);
  out.text = argv[2];
  if (!out.file) {
    perror(argv[1]);
    selvana_close(engine);
    return 1;
  }
  wav_header(header, out.rate, 0);
  fwrite(header, 1, sizeof header, out.file);
  status = selvana_speak(engine, argv[2], (size_t)-1, SELVANA_TEXT_PLAIN, on_audio, &out);
  if (status != SELVANA_OK) fprintf(stderr, "speak: %s\n", selvana_error_message(engine));
  /* The sizes are known now. */
  wav_header(header, out.rate, out.samples);
  fseek(out.file, 0, SEEK_SET);
  fwrite(header, 1, sizeof header, out.file);
  fclose(out.file);
  selvana_close(engine);
  return status == SELVANA_OK ? 0 : 1;
}
