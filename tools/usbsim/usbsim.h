#ifndef USBSIM_H
#define USBSIM_H

/* Control of the simulated USB bus behind the libusb stand-in. Device ids
 * are small integers returned by the add functions. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Removes every device; no handle may be open. */
void usbsim_reset(void);
/* A router relaying suitNumber with nodeCount nodes at hz frames per node
 * and second; plugged in at once at the next free location. */
int usbsim_add_router(uint32_t suitNumber, int suitType, int nodeCount, int hz);
/* Any other device (a charge plate: 0x1483, 0x5752). */
int usbsim_add_device(uint16_t vendorId, uint16_t productId);
/* Unplugs the device; open handles fail from now on. */
void usbsim_unplug(int id);
/* Plugs the device in again at the given port, with a new address. */
void usbsim_plug(int id, uint8_t bus, uint8_t port);
/* Another program has claimed the device's interface: opening succeeds,
 * claiming fails with LIBUSB_ERROR_BUSY while held, as on Linux. */
void usbsim_set_held(int id, int held);
/* The user may not access the device node: opening fails with
 * LIBUSB_ERROR_ACCESS (the missing udev rule). */
void usbsim_set_no_permission(int id, int denied);
/* A kernel driver is bound to the interface: claiming fails with BUSY
 * unless the library detaches it (auto-detach re-attaches on release). */
void usbsim_set_kernel_driver(int id, int attached);
int usbsim_kernel_driver(int id);
/* A bus reset: same port, new address, at once (within one poll). */
void usbsim_reenumerate(int id);
/* The router withholds every answer (acknowledgements too) while held;
 * they are late, not lost: all come, in order, once released. */
void usbsim_hold_answers(int id, int held);
/* The nth transfer from now on endpoint (0x01 or 0x81) fails:
 *   LIBUSB_ERROR_PIPE      stall; the endpoint stays halted until cleared
 *   LIBUSB_ERROR_IO        this transfer fails
 *   LIBUSB_ERROR_OVERFLOW  (IN) the answer overflows the buffer
 *   LIBUSB_ERROR_TIMEOUT   the transfer times out after `transferred` bytes;
 *                          OUT: the router discards a cut request; IN: the
 *                          rest comes with the next transfer
 *   0 with transferred     (OUT) a short transfer reported as success
 * transferred is -1 where it does not apply. */
void usbsim_fail_transfer(int id, unsigned char endpoint, int nth, int error, int transferred);
void usbsim_set_frame_format(int id, int longFrames, uint16_t flags);
/* Frames of a second suit in between those of the first. */
void usbsim_set_second_suit(int id, uint32_t suitNumber);
/* An instruction is answered after cycles requests with 0x74 value: the
 * cycles-th request carrying it gets the acknowledgement, the earlier ones
 * frames. A repeat of an instruction just delivered (0x74 0x01, no other
 * request in between) is acknowledged again at once. */
void usbsim_set_ack(int id, int cycles, int value);
/* A silent router answers nothing; its transfers time out, and a request
 * it has no frame for is dropped unanswered when a newer one comes. */
void usbsim_set_silent(int id, int silent);
/* The router's first suit is a person: a 3 s T-pose, then walking in
 * place at one step per second, every node strapped on at a fixed random
 * angle. With a path, the true joint rotations are written there (see
 * WalkingSuit.h). Scenario keys: walk, truth=PATH, noloc (the
 * nodes send zero locations, as a suit without positioning does),
 * heading=DEGREES (the way the wearer faces, from north towards west;
 * otherwise drawn from the suit number). */
void usbsim_set_walking(int id, const char* truthPath);
/* The walker's nodes send zero locations (locations 0) or their own. */
void usbsim_set_walk_locations(int id, int locations);
/* The walking suit's wearer stands in the T-pose again for seconds from
 * now, then walks on (the user asked to stand still for an alignment). */
void usbsim_walk_tpose(int id, double seconds);
void usbsim_set_descriptor_fails(int id, int fails);
/* The next answers, sent before any generated frame. */
void usbsim_queue_answer(int id, const uint8_t* bytes, int length);

/* Whole 512-byte requests the router took; each is answered once, in
 * order, also when several are owed. */
uint64_t usbsim_request_count(int id);
uint64_t usbsim_answer_count(int id);
/* IN transfers with no request to answer (the host skipped its poll). */
uint64_t usbsim_unasked_reads(int id);
/* Requests sent while the previous one was still unanswered. */
uint64_t usbsim_repolls(int id);
/* Cut requests the router discarded. */
uint64_t usbsim_partial_requests(int id);
/* Length of the back-th most recent OUT transfer as it crossed the cable. */
int usbsim_last_request_length(int id, int back);
/* Transfers on an interface the caller had not claimed (a library fault). */
int usbsim_unclaimed_transfers(void);
uint64_t usbsim_instruction_request_count(int id);
/* Copies the back-th most recent request (0 = latest) into out[512]; 0 on success. */
int usbsim_last_request(int id, int back, uint8_t* out);
int usbsim_instruction_count(int id);
/* Copies the index-th distinct instruction's 70 bytes; 0 on success. */
int usbsim_instruction(int id, int index, uint8_t* out);
/* What the router confirmed with 0x74 0x01, in order: the count and a copy
 * of the index-th confirmed instruction's 70 bytes (0 on success). */
int usbsim_acknowledged_count(int id);
int usbsim_acknowledged(int id, int index, uint8_t* out);
uint64_t usbsim_frames_sent(int id);
uint64_t usbsim_acks_sent(int id);
int usbsim_open_handles(void);
int usbsim_open_count(int id);
int usbsim_referenced_devices(void);
int usbsim_context_refs(void);

#ifdef __cplusplus
}
#endif

#endif
