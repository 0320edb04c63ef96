/*
 * queue.c - a fixed-size ring buffer of integers.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define QUEUE_SIZE 16u

typedef struct {
    int items[QUEUE_SIZE];
    unsigned head, tail, count;
} queue_t;

static void queue_init(queue_t *q)
{
    memset(q, 0, sizeof *q);
}

/* Returns 0 when the queue is full. */
static int queue_push(queue_t *q, int value)
{
    if (q->count == QUEUE_SIZE)
        return 0;
    q->items[q->tail] = value;
    q->tail = (q->tail + 1) % QUEUE_SIZE;
    q->count++;
    return 1;
}

static int queue_pop(queue_t *q, int *value)
{
    if (q->count == 0)
        return 0;
    *value = q->items[q->head];
    q->head = (q->head + 1) % QUEUE_SIZE;
    --q->count;
    return 1;
}

int main(int argc, char **argv)
{
    queue_t q;
    int v, i;
    queue_init(&q);
    for (i = 1; i < argc; i++)
        if (!queue_push(&q, atoi(argv[i])))
            fprintf(stderr, "queue full at '%s'\n", argv[i]);
    while (queue_pop(&q, &v))
        printf("%d\t%#x\n", v, v);   // decimal and hex
    return q.count == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
